// The exported tables: storage order, kernel sharing per slot, cost figures, and public
// names reaching their slots.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "zar/service/catalog.h"

namespace {

using nrx::zar::catalog::count;
using nrx::zar::catalog::entries;

TEST(Tables, LieInCatalogueOrderFortyBytesApart) {
  ASSERT_EQ(count, 440u);
  EXPECT_EQ(std::string(entries[0].names[3]), "zarsCeil");
  EXPECT_EQ(std::string(entries[1].names[3]), "zarsFloor");
  for (size_t k = 0; k < count; ++k) {
    const auto* t = reinterpret_cast<const char*>(entries[k].ttab);
    EXPECT_EQ(reinterpret_cast<const char*>(entries[k].ctab), t + 24) << entries[k].names[3];
    if (k + 1 < count) {
      EXPECT_EQ(reinterpret_cast<const char*>(entries[k + 1].ttab), t + 40) << entries[k].names[3];
    }
  }
}

TEST(Tables, SlotsShareKernelsAsListed) {
  for (size_t k = 0; k < count; ++k) {
    const auto& e = entries[k];
    const std::string s = e.share;
    void* const* t = e.ttab;
    SCOPED_TRACE(e.names[3]);
    EXPECT_EQ(t[0] == t[1], s == "1" || s == "lh");
    EXPECT_EQ(t[0] == t[2], s == "1" || s == "le");
    EXPECT_EQ(t[1] == t[2], s == "1");
    EXPECT_GE(e.ctab[1], e.ctab[0]);
    EXPECT_GE(e.ctab[0], e.ctab[2]);
  }
}

// The bound of a slot is the bound of the flavour of the kernel it holds.
TEST(Tables, BoundsFollowTheKernelInEachSlot) {
  struct Row {
    const char* table;
    double la, ha, ep;
  };
  const Row rows[] = {
      {"dExp", 4, 1, 0x1p27}, {"sExp", 4, 1, 0x1p13}, {"sExp2", 1, 1, 1},  // one kernel: the HA kernel everywhere
      {"dInv", 1, 1, 0x1p27},                                              // LA and HA share the HA kernel
      {"dCos", 4, 1, 4},                                                   // LA's kernel in the EP slot
      {"dCeil", 0, 0, 0},     {"zAdd", 0, 0, 0},
  };
  for (const Row& r : rows) {
    const nrx::zar::catalog::Entry* e = nullptr;
    for (size_t k = 0; k < count; ++k)
      if (std::string(1, entries[k].type) + entries[k].func == r.table && !entries[k].strided) e = &entries[k];
    ASSERT_NE(e, nullptr) << r.table;
    EXPECT_EQ(e->bound[0], r.la) << r.table;
    EXPECT_EQ(e->bound[1], r.ha) << r.table;
    EXPECT_EQ(e->bound[2], r.ep) << r.table;
  }
}

// The EP reciprocal differs from the correctly rounded one on some inputs, so each
// suffix shows which slot it reached.
TEST(Tables, PublicSuffixesReachTheirSlots) {
  std::vector<double> a(512), viaTable(512), viaName(512), ha(512);
  for (int i = 0; i < 512; ++i) a[i] = 1.0 + i * 0.0078125 + 1e-9 * i;
  nrx_zar_kernel_dInv_ttab[2](512, a.data(), viaTable.data());
  zardInv_26(512, a.data(), viaName.data());
  zardInv(512, a.data(), ha.data());
  EXPECT_EQ(std::memcmp(viaTable.data(), viaName.data(), 512 * sizeof(double)), 0);
  EXPECT_NE(std::memcmp(viaName.data(), ha.data(), 512 * sizeof(double)), 0);
  zardInv_50(512, a.data(), viaName.data());
  EXPECT_EQ(std::memcmp(viaName.data(), ha.data(), 512 * sizeof(double)), 0) << "LA and HA share the division";
}

TEST(Tables, IndexFunctionsAndVersion) {
  EXPECT_EQ(dll_cpu_version(), 11);
  EXPECT_EQ(nrx_zar_kernel_GetTTableIndexM(12345, 0x1A03), 2);
  EXPECT_EQ(nrx_zar_kernel_GetTTableIndexM(0, 0x1A01), 0);
  const uint32_t old = zarSetMode(ZAR_EP);
  EXPECT_EQ(nrx_zar_kernel_GetTTableIndex(), 2);
  zarSetMode(old);
}

}  // namespace

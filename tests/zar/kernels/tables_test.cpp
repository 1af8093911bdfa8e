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

TEST(Tables, CostFiguresOfTellingRows) {
  struct Row { const float* c; float la, ha, ep; };
  const Row rows[] = {
      {nrx_zar_kernel_sCeil_ctab, 0.195f, 0.195f, 0.195f}, {nrx_zar_kernel_sSqrt_ctab, 0.459f, 0.539f, 0.337f},
      {nrx_zar_kernel_sExp_ctab, 0.635f, 0.724f, 0.576f},  {nrx_zar_kernel_dExp_ctab, 1.702f, 1.875f, 1.184f},
      {nrx_zar_kernel_dPow_ctab, 7.192f, 8.208f, 4.28f},    {nrx_zar_kernel_cAdd_ctab, 1.963f, 1.963f, 0.308f},
      {nrx_zar_kernel_zExp_ctab, 10.612f, 1103.0f, 10.612f}, {nrx_zar_kernel_dSinI_ctab, 1.897f, 4.183f, 1.586f},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.c[0], r.la);
    EXPECT_EQ(r.c[1], r.ha);
    EXPECT_EQ(r.c[2], r.ep);
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

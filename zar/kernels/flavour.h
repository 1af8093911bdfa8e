// The accuracy flavour a kernel is compiled for; every kernel and shared body takes one.
#pragma once

namespace nrx::zar {

// Values are the slot numbers plus one the function tables use (LA slot 0, HA 1, EP 2).
enum class Flavour : int { LA = 1, HA = 2, EP = 3 };

}  // namespace nrx::zar

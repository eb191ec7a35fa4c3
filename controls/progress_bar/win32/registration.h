// The registration of XP_ProgressBar: machine-wide (regsvr32, administrators) or for the current
// user alone (regsvr32 /n /i:user), each for the bitness of this module. The 32- and 64-bit
// modules register side by side in both scopes, and removing one never breaks another.
#pragma once

#include <windows.h>

namespace gaugekit {

enum class RegistrationScope { machine, user };

// Writes the class, its ProgID, control keys, category, type library and interfaces; a failure
// takes back what this call wrote and answers with the self-registration error.
HRESULT registerServer(RegistrationScope scope);
// Removes this bitness's registration of the scope, and the keys it shares with the other
// bitness once neither registers the class any more.
HRESULT unregisterServer(RegistrationScope scope);

}  // namespace gaugekit

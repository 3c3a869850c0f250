// The COM add-ins the word processor loads at start-up and disconnects when it quits.
#pragma once

#include <vector>

#include "win/com_support.h"
#include "win/office_addins.h"

namespace kq::wordproc {

// Every add-in under the add-ins key with load behaviour 3, created in process and connected to `application`.
// Add-ins that cannot be created or refuse the connection are left out.
std::vector<ComPtr<IDTExtensibility2>> ConnectAddIns(IDispatch* application);
// Disconnects them as the program shuts down, newest last, and lets them go.
void DisconnectAddIns(std::vector<ComPtr<IDTExtensibility2>>& addins);

}  // namespace kq::wordproc

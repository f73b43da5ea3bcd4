// The helper's v command: the system event viewer with the product's view.
#pragma once

namespace vnl {

// Asks the shell to start "eventvwr.exe" from the system folder with the verb
// "runas" (the system asks for administrator approval) and the parameter
// /v:"<installation folder>events\vnlevents.xml", in the system folder. Does
// not wait for the viewer; failures are silent and show nothing.
void OpenEventViewer() noexcept;

}  // namespace vnl

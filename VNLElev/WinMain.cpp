// VNLElev: writes one event-log entry (e) or opens the event viewer (v) per
// run, then exits with 0 whatever happened. It never creates a window.
#include <windows.h>

#include "CommandText.h"
#include "EventWriter.h"
#include "ViewerLauncher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        // The C runtime's view of the command line drops quotes; read it raw.
        const char* commandText = vnl::SkipProgramPath(::GetCommandLineA());
        switch (commandText[0]) {
        case 'e': vnl::WriteEventFromCommand(commandText); break;
        case 'v': vnl::OpenEventViewer(); break;
        default: break;
        }
    } catch (...) {
    }
    return 0;
}

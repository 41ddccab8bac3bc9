#pragma once

// The GUI's entry sequence: refuse to run beside the installer, hand over to a
// running instance, read the command line, show the window and the splash,
// post the launch event and run the event loop.
namespace GuiStartup {

int run(int argc, char **argv);

// The message box shown while the installer holds its lock.
void showInstallerRunningMessage();

} // namespace GuiStartup

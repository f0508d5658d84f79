// frmSelectDevice: lists the devices the control reports and opens the chosen one; and
// EnableDeviceMenus, which offers exactly the Setup items the open device supports.
#pragma once

namespace vidora {

class MainWindow;

// Shows the dialog modally over the main window.
void ShowSelectDevice(MainWindow& main);
// Asks the open device what it can do and enables the Setup items accordingly.
void EnableDeviceMenus(MainWindow& main);

} // namespace vidora

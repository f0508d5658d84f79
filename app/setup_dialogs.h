// The Setup menu's dialogs and the About window, each shown modally over the main window.
#pragma once

namespace vidora {

class MainWindow;

// Opens the setup dialog or About window of a menu command; false for other commands.
bool RunSetupCommand(MainWindow& main, int commandId);

void ShowActiveVideoArea(MainWindow& main);
void ShowFrameSize(MainWindow& main);
void ShowFrameType(MainWindow& main);
void ShowInputSource(MainWindow& main);
void ShowInputFilter(MainWindow& main);
void ShowVideoInputType(MainWindow& main);
void ShowProgrammableAD(MainWindow& main);
void ShowPixelClock(MainWindow& main);
void ShowSyncSentinel(MainWindow& main);
void ShowExternalTrigger(MainWindow& main);
void ShowTimeout(MainWindow& main);
void ShowCameraType(MainWindow& main);
void ShowCameraExposure(MainWindow& main);
void ShowDigitalIO(MainWindow& main);
void ShowColorImageParameters(MainWindow& main);
void ShowSyncMaster(MainWindow& main);
void ShowAbout(MainWindow& main);

} // namespace vidora

' Run by the package test in a prefix where only the installer package installed anything:
' both ProgIDs create the control, and with the simulated boards it lists them, acquires a
' frame and saves it. Arguments: the number of boards expected, and the bitmap to write.
Option Explicit
Dim expected, path, control, alias, frame
expected = CLng(WScript.Arguments(0))
path = WScript.Arguments(1)
Set control = CreateObject("Corvid.Corvid")
Set alias = CreateObject("CorvidLibCtl.Corvid")
If control.DeviceCount <> expected Or alias.DeviceCount <> expected Then
    WScript.Echo "boards: " & control.DeviceCount
    WScript.Quit 2
End If
If expected > 0 Then
    control.OpenDevice "SIM7100"
    frame = control.AllocateFrame()
    control.AcquireFrames 1, frame, False
    control.SaveAcquiredFrame frame, path
    control.CloseDevice
End If
WScript.Echo "ok"

' The line-scan board's timing, mode and digital lines, and the digital camera group, the way
' a script programmer reaches them. Prints "lines.vbs: passed" when every check holds.
Option Explicit

Dim failures
failures = 0

Sub Check(condition, what)
    If condition Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what
        failures = failures + 1
    End If
End Sub

Dim control
Set control = CreateObject("CorvidLibCtl.Corvid")
On Error Resume Next

control.OpenDevice "SIM7400LS"
Check Err.Number = 0, "OpenDevice SIM7400LS"
control.LoToHiLineDriveCount = 300
control.HiToLoIntegrationCount = 40
control.LSDriveClkDiv = 2
Check Err.Number = 0, "timing properties written"
Check control.LoToHiLineDriveCount = 300 And control.HiToLoIntegrationCount = 40 And control.LSDriveClkDiv = 2, "timing properties read back"
Err.Clear

control.LineScanMode = True
Check Err.Number = 0 And control.LineScanMode = True, "LineScanMode on"
control.DigIOPattern = &H50
Check Err.Number = 0 And control.DigIOPattern = &H55, "DigIOPattern in line-scan mode reads the outputs and their loopback"
Check control.DigOutCaps = 240 And control.DigInCaps = 15, "capability masks of the line-scan board"
control.LineScanMode = False
Check control.LineScanMode = False And control.DigIOPattern = 0, "outside line-scan mode the pattern reads 0"
Err.Clear

' A script's array takes the lines of a synchronous acquisition, one byte per element:
' pixel x of line n is (x + n) mod 256. Lines that arrive after the call (an asynchronous
' acquisition, line passthru) need memory the board keeps: a script's array is refused.
Dim lines(63, 15), ring(63, 15, 1), x, n, same
control.AcquireLines lines, False
Check Err.Number = 0, "AcquireLines into a script array (&H" & Hex(Err.Number) & ")"
Err.Clear
same = True
For n = 0 To 15
    For x = 0 To 63
        same = same And VarType(lines(x, n)) = vbByte And lines(x, n) = (x + n) Mod 256
    Next
Next
Check same, "the lines arrive byte by byte along the first index"
control.AcquireLines lines, True
Check Err.Number = 5, "asynchronous AcquireLines with a script array is refused (&H" & Hex(Err.Number) & ")"
Err.Clear
control.StartLSPassthru , ring, False
Check Err.Number = 5, "StartLSPassthru with a script array is refused (&H" & Hex(Err.Number) & ")"
Err.Clear
control.StopLSPassthru
Check Err.Number = 0, "StopLSPassthru without passthru"
Err.Clear

' The digital camera exists on the digital-camera board only.
control.ResetCamera
Check Err.Number = &H80044118 And Len(Err.Description) > 0, "ResetCamera on SIM7400LS: " & Err.Description
Err.Clear
control.OpenDevice "SIM7700"
control.ExposePulseDuration = 500
control.ExposePulsePolarity = 1
Check Err.Number = 0 And control.ExposePulseDuration = 500 And control.ExposePulsePolarity = 1, "expose pulse on SIM7700"
control.DigitalCameraType = 2
Check Err.Number = 0 And control.DigitalCameraType = 2, "DigitalCameraType on SIM7700"
Err.Clear
control.CloseDevice
Set control = Nothing

If failures = 0 Then
    WScript.Echo "lines.vbs: passed"
Else
    WScript.Echo "lines.vbs: " & failures & " failed"
End If
WScript.Quit failures

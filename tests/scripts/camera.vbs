' Saves a grabber setup to a camera file and restores it the way a script programmer would:
' the file's text, the settings and the frame defaults it brings back, and a damaged file's
' Err object. Prints "camera.vbs: passed" when every check holds.
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

Function ReadText(path)
    Dim stream
    Set stream = fso.OpenTextFile(path)
    ReadText = stream.ReadAll
    stream.Close
End Function

Sub WriteText(path, text)
    Dim stream
    Set stream = fso.CreateTextFile(path, True)
    stream.Write text
    stream.Close
End Sub

Dim fso, control, path, text, frame, width, board
Set fso = CreateObject("Scripting.FileSystemObject")
Set control = CreateObject("Corvid.Corvid")
path = fso.BuildPath(fso.GetSpecialFolder(2), "corvid_script.cam")
On Error Resume Next

For Each board In Array("SIM7100", "SIM7500", "SIM7400LS")
    control.OpenDevice board
    Check Err.Number = 0, board & ": OpenDevice (&H" & Hex(Err.Number) & ")"
    Err.Clear
    control.Timeout = 6
    frame = control.AllocateFrame()
    width = control.FrameWidth
    control.SaveCameraFile path
    Check Err.Number = 0, board & ": SaveCameraFile (&H" & Hex(Err.Number) & ")"
    Err.Clear
    Check control.CameraFile = path, board & ": CameraFile names the saved file"

    text = ReadText(path)
    Check Left(text, 61) = "Vantrel Quillon Frame Grabber Camera File, Format Version 1.0", board & ": header"
    Check InStr(text, vbCrLf & "Timeout                 = 6" & vbCrLf) > 0, board & ": the Timeout line"
    Check InStr(text, "FrameWidth              = " & width & vbCrLf) > 0, board & ": the frame section"

    control.Timeout = 2
    control.LoadCameraFile path
    Check Err.Number = 0, board & ": LoadCameraFile (&H" & Hex(Err.Number) & ")"
    Err.Clear
    Check control.Timeout = 6, board & ": Timeout comes back"
    Check control.FrameCount = 0 And control.FrameWidth = width, board & ": the frame defaults come back"
    Check control.ActiveDevice = board, board & ": the device is open again"

    WriteText path, Replace(text, "Version 1.0", "Version 2.0")
    control.LoadCameraFile path
    Check Err.Number = &H8004F000 And Err.Description = "Invalid camera file", _
          board & ": a version 2 file is refused (" & Err.Description & ")"
    Err.Clear
    control.CloseDevice
Next

control.SaveCameraFile fso.BuildPath(fso.GetSpecialFolder(2), "no_such_folder\setup.cam")
Check Err.Number <> 0 And Len(Err.Description) > 0, "an unwritable path: " & Err.Description
Err.Clear
fso.DeleteFile path

If failures = 0 Then WScript.Echo "camera.vbs: passed"

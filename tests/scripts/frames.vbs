' Allocates a frame on every simulated board that acquires frames, acquires into it, reads
' its pixels with ReadFrameEx and saves it as a bitmap file, as a script programmer would.
' Prints "frames.vbs: passed" when every check holds.
Option Explicit

Dim failures, control, board, frame, data, fso, path, file
failures = 0

Sub Check(condition, what)
    If condition Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what
        failures = failures + 1
    End If
End Sub

Set fso = CreateObject("Scripting.FileSystemObject")
Set control = CreateObject("Corvid.Corvid")
On Error Resume Next
For Each board In Array("SIM7100", "SIM7400", "SIM7700", "SIM7300", "SIM7500", "SIM760X")
    control.OpenDevice board
    Check Err.Number = 0, board & ": OpenDevice (&H" & Hex(Err.Number) & ")"
    Err.Clear
    frame = control.AllocateFrame()
    Check Err.Number = 0 And frame = 0, board & ": AllocateFrame gives frame 0 (&H" & Hex(Err.Number) & ")"
    Err.Clear
    control.AcquireFrames 1, frame, False
    Check Err.Number = 0, board & ": AcquireFrames (&H" & Hex(Err.Number) & ")"
    Err.Clear
    Dim width, height, depth
    width = control.FrameWidth
    height = control.FrameHeight
    depth = control.FrameBytesPerPixel
    data = Empty
    control.ReadFrameEx frame, 0, 0, width, height, data
    Check Err.Number = 0, board & ": ReadFrameEx (&H" & Hex(Err.Number) & ")"
    Err.Clear
    If IsArray(data) Then
        Check UBound(data, 1) = width * depth - 1 And UBound(data, 2) = height - 1, _
            board & ": ReadFrameEx gives rows of " & width * depth & " bytes"
        Check data(0, 0) + data(1, 0) + data(2, 0) + data(3, 0) > 0, board & ": frame counter set"
    Else
        Check False, board & ": ReadFrameEx gives an array"
    End If
    Err.Clear
    path = fso.BuildPath(fso.GetSpecialFolder(2), "frames_" & board & ".bmp")
    control.SaveAcquiredFrame frame, path
    Check Err.Number = 0 And fso.FileExists(path), board & ": SaveAcquiredFrame"
    If fso.FileExists(path) Then
        Set file = fso.GetFile(path)
        Check file.Size > 54, board & ": bitmap file has pixels (" & file.Size & " bytes)"
        fso.DeleteFile path
    End If
    Err.Clear
    control.CloseDevice
Next

If failures = 0 Then WScript.Echo "frames.vbs: passed"

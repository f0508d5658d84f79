' Allocates a frame on every simulated board that acquires frames, acquires into it, reads
' its pixels with ReadFrameEx and saves it as a bitmap file, as a script programmer would.
' VBScript cannot index an array of bytes, so the pixels read are checked by writing them
' into a second frame whose file must come out the same.
' Prints "frames.vbs: passed" when every check holds.
Option Explicit

Dim failures, control, board, frame, copy, data, fso, saved
failures = 0

Sub Check(condition, what)
    If condition Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what
        failures = failures + 1
    End If
End Sub

' Bytes before the pixels: file and info headers, then the palette or the color masks.
Function HeaderBytes(depth)
    Select Case depth
        Case 1: HeaderBytes = 1078
        Case 2: HeaderBytes = 66
        Case Else: HeaderBytes = 54
    End Select
End Function

' Saves a frame as a bitmap file and gives the file's bytes as text ("" when none was written).
Function SavedFile(index)
    Dim path, stream
    SavedFile = ""
    path = fso.BuildPath(fso.GetSpecialFolder(2), "frames_" & board & ".bmp")
    If fso.FileExists(path) Then fso.DeleteFile path
    control.SaveAcquiredFrame index, path
    If Err.Number <> 0 Then
        Check False, board & ": SaveAcquiredFrame (&H" & Hex(Err.Number) & ")"
        Err.Clear
    End If
    If Not fso.FileExists(path) Then Exit Function
    Set stream = fso.OpenTextFile(path)
    SavedFile = stream.ReadAll
    stream.Close
    fso.DeleteFile path
End Function

Set fso = CreateObject("Scripting.FileSystemObject")
Set control = CreateObject("Corvid.Corvid")
On Error Resume Next
For Each board In Array("SIM7100", "SIM7400", "SIM7700", "SIM7300", "SIM7500", "SIM7400LS", "SIM760X")
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
    Check Err.Number = 0 And VarType(data) = vbArray + vbByte, _
        board & ": ReadFrameEx gives a byte array (&H" & Hex(Err.Number) & ")"
    Err.Clear
    ' The pixels read, written into a second frame, make the same bitmap file as the first.
    copy = control.AllocateFrame()
    control.WriteFrame copy, 0, 0, width, height, data
    Check Err.Number = 0, board & ": WriteFrame of the pixels read (&H" & Hex(Err.Number) & ")"
    Err.Clear
    saved = SavedFile(frame)
    Check Left(saved, 2) = "BM" And Len(saved) = HeaderBytes(depth) + width * height * depth, _
        board & ": SaveAcquiredFrame writes a " & width & " x " & height & " bitmap file (" & _
        Len(saved) & " bytes)"
    Check saved = SavedFile(copy), board & ": the copy's file is the same"
    control.AcquireFrames 1, frame, False
    Check SavedFile(frame) <> saved, board & ": a new acquisition changes the file"
    Err.Clear
    control.CloseDevice
Next

If failures = 0 Then WScript.Echo "frames.vbs: passed"

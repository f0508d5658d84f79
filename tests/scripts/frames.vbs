' Allocates a frame on every simulated board that acquires frames, acquires into it, reads
' its pixels with ReadFrameEx and saves it as a bitmap file, as a script programmer would.
' VBScript cannot index an array of bytes, so the pixels read are checked by writing them
' into a second frame whose file must come out the same. Then the script's own arrays
' (arrays of VARIANTs): several frames acquired in one call, a lookup table and a frame
' rectangle written and read back, and the refusal of elements that are no numbers of the
' type the board needs.
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

' The control refuses a bad argument with E_INVALIDARG, which the script host shows as its
' own "Invalid procedure call or argument" (5).
Function Refused()
    Refused = (Err.Number = 5 Or Err.Number = &H80070057)
    Err.Clear
End Function

' ---- Script arrays (arrays of VARIANTs) on SIM7100 ----
Dim i, x, y, same
control.OpenDevice "SIM7100"
Check Err.Number = 0, "OpenDevice SIM7100 (&H" & Hex(Err.Number) & ")"
Err.Clear

' The frame counter: the board's image number in the first 4 bytes of the frame.
Function Counter(frame)
    Dim bytes(3)
    control.ReadFrame frame, 0, 0, 4, 1, bytes
    Counter = -1
    If Err.Number = 0 And VarType(bytes(0)) = vbByte Then
        Counter = bytes(0) + 256 * (bytes(1) + 256 * (bytes(2) + 256 * bytes(3)))
    End If
    Err.Clear
End Function

' ---- Five frames in one call ----
Dim ids(4), first
For i = 0 To 4
    ids(i) = control.AllocateFrame()
Next
control.AcquireFrames 5, ids, False
Check Err.Number = 0, "AcquireFrames of five frames in one call (&H" & Hex(Err.Number) & ")"
Err.Clear
same = True
For i = 0 To 4
    same = same And ids(i) = i
Next
Check same, "the frame ids are still the script's own"
first = Counter(ids(0))
same = first > 0
For i = 1 To 4
    same = same And Counter(ids(i)) = first + i
Next
Check same, "the five frames hold consecutive images from " & first

' ---- A lookup table ----
Dim table(255), back(255)
For i = 0 To 255
    table(i) = 255 - i
Next
control.WriteInputLUT 0, 0, table
Check Err.Number = 0, "WriteInputLUT with a script array (&H" & Hex(Err.Number) & ")"
Err.Clear
control.ReadInputLUT 0, 0, back
Check Err.Number = 0, "ReadInputLUT into a script array (&H" & Hex(Err.Number) & ")"
Err.Clear
same = True
For i = 0 To 255
    same = same And VarType(back(i)) = vbLong And back(i) = table(i)
Next
Check same, "the table reads back entry by entry as numbers"
For i = 0 To 255
    table(i) = i
Next
control.WriteInputLUT 0, 0, table
Err.Clear

' ---- A frame rectangle: 8 bytes along a row, 4 rows ----
Dim rect(7, 3), got(7, 3), row(6)
frame = ids(0)
For y = 0 To 3
    For x = 0 To 7
        rect(x, y) = (x * 31 + y * 7 + 1) Mod 256
    Next
Next
control.WriteFrame frame, 100, 50, 8, 4, rect
Check Err.Number = 0, "WriteFrame of a 2-D script array (&H" & Hex(Err.Number) & ")"
Err.Clear
control.ReadFrame frame, 100, 50, 8, 4, got
Check Err.Number = 0, "ReadFrame into a 2-D script array (&H" & Hex(Err.Number) & ")"
Err.Clear

Function SameRectangle()
    Dim sx, sy
    SameRectangle = True
    For sy = 0 To 3
        For sx = 0 To 7
            SameRectangle = SameRectangle And VarType(got(sx, sy)) = vbByte And got(sx, sy) = rect(sx, sy)
        Next
    Next
End Function
Check SameRectangle(), "the rectangle reads back byte by byte"
control.ReadFrame frame, 101, 51, 7, 1, row
same = Err.Number = 0
For x = 0 To 6
    same = same And row(x) = rect(x + 1, 1)
Next
Check same, "the first index runs along a row"
Err.Clear

' ---- Refusals: nothing reaches the frame ----
Dim bad(7, 3)
For y = 0 To 3
    For x = 0 To 7
        bad(x, y) = 9
    Next
Next
Dim value
For Each value In Array("abc", 256, 70000, -1, Null)
    bad(2, 1) = value
    control.WriteFrame frame, 100, 50, 8, 4, bad
    Check Refused(), "WriteFrame refuses an element " & TypeName(value) & " " & value
Next
bad(2, 1) = 9
control.WriteFrame frame, 100, 50, 8, 5, bad
Check Refused(), "WriteFrame refuses an array smaller than the rectangle"
control.ReadFrame frame, 100, 50, 9, 4, got
Check Refused(), "ReadFrame refuses an array smaller than the rectangle"
control.ReadFrame frame, 100, 50, 8, 4, got
Err.Clear
Check SameRectangle(), "the refused writes left the rectangle alone"

table(7) = "abc"
control.WriteInputLUT 0, 0, table
Check Refused(), "WriteInputLUT refuses a string element"
table(7) = 3000000000
control.WriteInputLUT 0, 0, table
Check Refused(), "WriteInputLUT refuses an element beyond 32 bits"
control.AcquireFrames 2, Array(0, "x"), False
Check Refused(), "AcquireFrames refuses a mixed array"
control.AcquireFrames 2, Array(0, 9), False
Check Refused(), "AcquireFrames refuses an index without a frame"

' The same list starts an asynchronous acquisition; polled until done (at most 10 s: the
' loop keeps its own time, as this platform's script host does not sleep).
Dim status, written, done, started
first = Counter(ids(4))
control.AcquireFrames 5, ids
Check Err.Number = 0, "asynchronous AcquireFrames of five frames (&H" & Hex(Err.Number) & ")"
Err.Clear
done = False
started = Timer
Do While Not done And Abs(Timer - started) < 10
    done = control.IsAsyncAcquireFramesDone(status, written)
    If Err.Number <> 0 Then Exit Do
Loop
Check Err.Number = 0 And done And status = 0, "the asynchronous acquisition ends (&H" & _
      Hex(Err.Number) & ", status " & status & ")"
Err.Clear
same = True
For i = 0 To 4
    same = same And Counter(ids(i)) = first + 1 + i
Next
Check same, "it acquired the five frames in their order"

control.CloseDevice

If failures = 0 Then WScript.Echo "frames.vbs: passed"

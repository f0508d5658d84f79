' Script arrays (arrays of VARIANTs) in the members that take host arrays, as a script
' programmer uses them: several frames acquired in one call, a lookup table and a frame
' rectangle written and read back, and the refusal of elements that are no numbers of the
' type the board needs. Prints "arrays.vbs: passed" when every check holds.
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

' The control refuses a bad argument with E_INVALIDARG, which the script host shows as its
' own "Invalid procedure call or argument" (5).
Function Refused()
    Refused = (Err.Number = 5 Or Err.Number = &H80070057)
    Err.Clear
End Function

Dim control, i, x, y, same
Set control = CreateObject("CorvidLibCtl.Corvid")
On Error Resume Next
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
Dim rect(7, 3), got(7, 3), row(6), frame
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

' The same list starts an asynchronous acquisition.
control.AcquireFrames 5, ids
Check Err.Number = 0, "asynchronous AcquireFrames of five frames (&H" & Hex(Err.Number) & ")"
Err.Clear

control.CloseDevice
If failures = 0 Then WScript.Echo "arrays.vbs: passed"

' Live video as a script programmer writes it: starts passthru in each mode on every simulated
' board, takes a snapshot into a second frame, loads a lookup table from a script array, moves
' the source origin and stops; a bad mode is refused.
' Prints "passthru.vbs: passed" when every check holds.
Option Explicit

Dim failures, control, board, frame, still, mode, table, i, answer
failures = 0

Sub Check(condition, what)
    If condition Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what
        failures = failures + 1
    End If
End Sub

Sub Passed(what)
    Check Err.Number = 0, what & " (&H" & Hex(Err.Number) & ")"
    Err.Clear
End Sub

' A grey ramp: entry v shows as grey v.
ReDim table(255)
For i = 0 To 255
    table(i) = i * &H10101
Next

Set control = CreateObject("Corvid.Corvid")
On Error Resume Next
For Each board In Array("SIM7100", "SIM7400", "SIM7700", "SIM7300", "SIM7500", "SIM760X")
    control.OpenDevice board
    Passed board & ": OpenDevice"
    still = control.AllocateFrame()
    frame = control.AllocateFrame()
    Passed board & ": two frames"
    control.LoadPassthruLUT 0, table
    Passed board & ": LoadPassthruLUT from a script array"
    For Each mode In Array(4, 8, 16)
        ' No window: the control makes its own.
        control.StartPassthru , frame, mode
        Passed board & ": StartPassthru mode " & mode
        control.PassthruSnapshot still
        Passed board & ": PassthruSnapshot while live video runs"
        control.StopPassthru
        Passed board & ": StopPassthru mode " & mode
    Next
    control.StopPassthru
    Passed board & ": StopPassthru when stopped"
    control.PassthruSnapshot still
    Check Err.Number <> 0, board & ": PassthruSnapshot without live video fails"
    Err.Clear

    control.XPassthruOrigin = 8
    control.YPassthruOrigin = 6
    Check control.XPassthruOrigin = 8 And control.YPassthruOrigin = 6, board & ": the origin reads back"
    Err.Clear
    answer = 0
    control.QueryPassthruCaps 288, answer, 4
    Check Err.Number = 0 And (answer = 0 Or answer = 1), board & ": QueryPassthruCaps answers " & answer
    Err.Clear

    control.StartPassthru 0, -1, 2
    Check Err.Number = &H80070057 Or Err.Number = 5, board & ": mode 2 is refused (&H" & Hex(Err.Number) & ")"
    Err.Clear
    control.LoadDefaultPassthruLUT
    Passed board & ": LoadDefaultPassthruLUT"
    control.CloseDevice
Next

If failures = 0 Then WScript.Echo "passthru.vbs: passed"

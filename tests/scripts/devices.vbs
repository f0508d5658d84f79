' Lists the imaging devices, opens every simulated board and reads and writes its input
' settings the way a script programmer would, including a failing call's Err object.
' Prints "devices.vbs: passed" when every check holds.
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

Function ModelOf(board)
    Select Case board
        Case "SIM7100": ModelOf = 32
        Case "SIM7400": ModelOf = 42
        Case "SIM7700": ModelOf = 43
        Case "SIM7300": ModelOf = 44
        Case "SIM7500": ModelOf = 45
        Case "SIM7400LS": ModelOf = 46
        Case "SIM760X": ModelOf = 112
        Case Else: ModelOf = -1
    End Select
End Function

Sub ExerciseBoard(control, progId, board)
    Dim lines, sources, source, description
    On Error Resume Next
    control.OpenDevice board
    Check Err.Number = 0, progId & ": OpenDevice " & board & " (&H" & Hex(Err.Number) & ")"
    Err.Clear
    Check control.ActiveDevice = board, progId & ": ActiveDevice is " & board
    Check control.DeviceType = ModelOf(board), progId & ": DeviceType of " & board & " is " & ModelOf(board)

    ' A variable passed by reference receives the answer.
    sources = 0
    control.QueryInputCaps 1, sources, 4
    Check Err.Number = 0 And sources > 0, progId & ": " & board & " has " & sources & " inputs"
    Err.Clear

    source = control.VideoInputSource
    control.VideoInputSource = sources - 1
    Check Err.Number = 0 And control.VideoInputSource = sources - 1, progId & ": " & board & " VideoInputSource put"
    Err.Clear
    control.VideoInputSource = source
    Err.Clear

    control.Timeout = 3
    Check Err.Number = 0 And control.Timeout = 3, progId & ": " & board & " Timeout"
    Err.Clear

    lines = control.ActiveLineCount
    If Err.Number = &H80044118 Then
        ' Boards without an analog active video window say so.
        Check Left(Err.Description, 16) = "STC_STS_CONTROL:", progId & ": " & board & " has no ActiveLineCount: " & Err.Description
        Err.Clear
        Exit Sub
    End If
    control.ActiveLineCount = lines
    Check Err.Number = 0 And control.ActiveLineCount = lines, progId & ": " & board & " ActiveLineCount " & lines
    Err.Clear

    ' A value the device refuses: the status as error number, its text as description.
    control.ActiveLineCount = -5
    Check Err.Number = &H80044004, progId & ": " & board & " out-of-range value raises &H80044004 (got &H" & Hex(Err.Number) & ")"
    Check Err.Number = -2147205116, progId & ": " & board & " the same as a number"
    description = Err.Description
    Check Left(description, 14) = "STC_STS_RANGE:", progId & ": Err.Description """ & description & """"
    Check Err.Source = "Corvid.Corvid.1", progId & ": Err.Source """ & Err.Source & """"
    Err.Clear
    Check control.StatusMessage = description, progId & ": StatusMessage tells the same"
    Check control.ActiveLineCount = lines, progId & ": " & board & " ActiveLineCount unchanged"
End Sub

Sub Exercise(progId)
    Dim control, count, i, name, opened
    On Error Resume Next
    Set control = CreateObject(progId)
    Check Err.Number = 0, "CreateObject(""" & progId & """) (error &H" & Hex(Err.Number) & ")"
    If Err.Number <> 0 Then
        Err.Clear
        Exit Sub
    End If

    count = control.DeviceCount
    Check count >= 7, progId & ": " & count & " devices"
    opened = 0
    For i = 0 To count - 1
        name = control.GetDeviceName(i)
        If ModelOf(name) > 0 Then
            ExerciseBoard control, progId, name
            opened = opened + 1
        End If
    Next
    Check opened = 7, progId & ": opened the 7 simulated boards"

    ' Levels exist on some models only. The script host turns "not implemented" into its
    ' own error 445 and an argument error into 5.
    Err.Clear
    control.OpenDevice "SIM7100"
    control.Offset = 10
    Check Err.Number = 0 And control.Offset = 10, progId & ": Offset on SIM7100"
    Err.Clear
    Dim gain
    gain = control.Gain
    Check Err.Number = 445, progId & ": Gain on SIM7100 is not implemented (&H" & Hex(Err.Number) & ")"
    Err.Clear

    ' A script's array whose element is no number is no lookup table.
    Dim table(3)
    table(2) = "two"
    control.WriteInputLUT 0, 0, table
    Check Err.Number = 5, progId & ": WriteInputLUT with a string element is refused (&H" & Hex(Err.Number) & ")"
    Err.Clear

    control.ActiveDevice = ""
    Check Err.Number = 0 And control.ActiveDevice = "" And control.DeviceType = 0, progId & ": ActiveDevice = """" closes"
    Err.Clear
    control.GetDeviceName count
    Check Err.Number = 5, progId & ": GetDeviceName past the list (&H" & Hex(Err.Number) & ")"
    Err.Clear
    Set control = Nothing
End Sub

Exercise "Corvid.Corvid"
Exercise "CorvidLibCtl.Corvid"

If failures = 0 Then
    WScript.Echo "devices.vbs: passed"
Else
    WScript.Echo "devices.vbs: " & failures & " failed"
End If
WScript.Quit failures

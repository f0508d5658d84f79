' Creates the control the ways hosts do and calls it as a script programmer would.
' Prints "create.vbs: passed" when every check holds.
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

Sub Exercise(progId)
    Dim control, buffer, status, written, value, done
    On Error Resume Next
    Set control = CreateObject(progId)
    Check Err.Number = 0, "CreateObject(""" & progId & """) (error &H" & Hex(Err.Number) & ")"
    If Err.Number <> 0 Then
        Err.Clear
        Exit Sub
    End If

    ' Colors are OLE_COLOR, an unsigned 32-bit variant (VT_UI4): CLng makes them a Long for
    ' script hosts that compare only their own subtypes.
    Check (CLng(control.BackColor) = &HFFFFFF), progId & ": BackColor is white"
    Check (CLng(control.ForeColor) = 0), progId & ": ForeColor is black"
    control.BackColor = &H8000&
    Check (Err.Number = 0 And CLng(control.BackColor) = &H8000&), progId & ": BackColor put"
    Err.Clear

    ' Closing without an open device succeeds.
    control.CloseDevice
    Check Err.Number = 0, progId & ": CloseDevice without a device (got &H" & Hex(Err.Number) & ")"
    Err.Clear

    ' Script variables for typed pointer arguments reach the member instead of failing
    ' with a type mismatch: without a device the driver's status cannot be fetched.
    control.QueryInputCaps 1, buffer, 4
    Check Err.Number = &H80044010, progId & ": QueryInputCaps with variables (got &H" & Hex(Err.Number) & ")"
    Err.Clear
    value = 5
    ' Without a device no model has the color family (STC_STS_CONTROL).
    control.ColorImageParameters 0, 0, value
    Check Err.Number = &H80044118, progId & ": ColorImageParameters with a variable (got &H" & Hex(Err.Number) & ")"
    Err.Clear
    done = control.IsAsyncAcquireFramesDone(status, written)
    Check Err.Number = &H80044010, progId & ": IsAsyncAcquireFramesDone with variables (got &H" & Hex(Err.Number) & ")"
    Err.Clear

    Set control = Nothing
End Sub

Exercise "Corvid.Corvid"
Exercise "CorvidLibCtl.Corvid"

If failures = 0 Then
    WScript.Echo "create.vbs: passed"
Else
    WScript.Echo "create.vbs: " & failures & " failed"
End If
WScript.Quit failures

' Recorded images as a board's video, as an integrator sets it up from a script: three
' frames of a board saved as bitmap files into a folder, a board of the same model pointed
' at that folder (its ImageFolder value), and the played frames saved again. Played image n
' shows file n (looping), with the frame counter n in its first bytes, and no caption of its
' own; so images 1 to 3 save byte for byte as the files, and image 4 as the first file with
' only its counter changed.
' Prints "play.vbs: passed" when every check holds.
Option Explicit

Const BoardsKey = "HKLM\System\CurrentControlSet\Services\kvboard\"
Dim failures, control, fso, shell, folder, i, files(3), played
failures = 0

Sub Check(condition, what)
    If condition Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what
        failures = failures + 1
    End If
End Sub

Function FileText(path)
    Dim stream
    Set stream = fso.OpenTextFile(path)
    FileText = stream.ReadAll
    stream.Close
End Function

' Saves the next acquired image of the open board and gives the file's bytes as text.
Function AcquiredFile(path)
    control.AcquireFrames 1, 0, False
    control.SaveAcquiredFrame 0, path
    Check Err.Number = 0, "acquire and save " & fso.GetFileName(path) & " (&H" & Hex(Err.Number) & ")"
    Err.Clear
    AcquiredFile = FileText(path)
End Function

Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
folder = fso.BuildPath(fso.GetSpecialFolder(2), "corvid_play_script")
If fso.FolderExists(folder) Then fso.DeleteFolder folder
fso.CreateFolder folder

On Error Resume Next
' The recording: three images of the monochrome board (its picture moves every image).
Set control = CreateObject("Corvid.Corvid")
control.OpenDevice "SIM7100"
control.AllocateFrame
For i = 1 To 3
    files(i) = AcquiredFile(fso.BuildPath(folder, "shot" & i & ".bmp"))
Next
control.CloseDevice
Check files(1) <> files(2), "the recorded images differ"

' A board of the same model that plays the folder as fast as it can.
shell.RegWrite BoardsKey & "SIMPLAYVBS\Enable", 1, "REG_DWORD"
shell.RegWrite BoardsKey & "SIMPLAYVBS\Model", shell.RegRead(BoardsKey & "SIM7100\Model"), "REG_DWORD"
shell.RegWrite BoardsKey & "SIMPLAYVBS\FrameRate", 0, "REG_DWORD"
shell.RegWrite BoardsKey & "SIMPLAYVBS\ImageFolder", folder, "REG_SZ"
Check Err.Number = 0, "the board's settings are written (&H" & Hex(Err.Number) & ")"
Err.Clear

Set control = CreateObject("Corvid.Corvid")
control.OpenDevice "SIMPLAYVBS"
Check Err.Number = 0, "OpenDevice SIMPLAYVBS (&H" & Hex(Err.Number) & ")"
Err.Clear
control.AllocateFrame
played = fso.BuildPath(fso.GetSpecialFolder(2), "corvid_played.bmp")
For i = 1 To 3
    Check AcquiredFile(played) = files(i), "played image " & i & " is shot" & i & ".bmp"
Next
Dim again, counterAt
again = AcquiredFile(played)
' The frame's first bytes are the bottom row's first bytes in the file: 1078 header bytes,
' then 479 rows of 640 before it.
counterAt = 1078 + 479 * 640 + 1
Check Len(again) = Len(files(1)), "image 4 has the first file's size"
Check Left(again, counterAt - 1) = Left(files(1), counterAt - 1) And _
      Mid(again, counterAt + 4) = Mid(files(1), counterAt + 4), "image 4 loops to shot1.bmp"
Check Asc(Mid(again, counterAt, 1)) = 4, "image 4 carries its own frame counter"
control.CloseDevice
Set control = Nothing

' The scratch board goes again. Through reg.exe: this platform's script host has no
' working WshShell.RegDelete.
shell.Run "reg.exe delete ""HKLM\System\CurrentControlSet\Services\kvboard\SIMPLAYVBS"" /f", 0, True
Err.Clear
shell.RegRead BoardsKey & "SIMPLAYVBS\Model"
Check Err.Number <> 0, "the scratch board is gone again"
Err.Clear
fso.DeleteFile played
fso.DeleteFolder folder
Err.Clear

If failures = 0 Then
    WScript.Echo "play.vbs: passed"
Else
    WScript.Echo "play.vbs: " & failures & " check(s) failed"
End If

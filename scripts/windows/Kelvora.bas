Attribute VB_Name = "KelvoraMacros"
Option Explicit

' The component, created and bound to this workbook on first use; VBA
' releases it when the workbook closes, which switches cell drag-and-drop
' back on.
Private k As Object

Private Function Kelvora() As Object
    If k Is Nothing Then
        Dim created As Object
        Set created = CreateObject("Kelvora.Sub")
        created.Sup Application, ThisWorkbook
        Set k = created
    End If
    Set Kelvora = k
End Function

' Take in the last 100 draws (copied table).
Sub DanKQXS()
    Kelvora.DanKQXS
End Sub

' Take in draws by date (copied table).
Sub DanKQXSNgay()
    Kelvora.DanKQXSNgay
End Sub

' Take in special-prize text (copied text).
Sub DanKQXSDB()
    Kelvora.DanKQXSDB
End Sub

' Statistics and prediction.
Sub ChayMain()
    Kelvora.Main
End Sub

' Clear the stored results (asks first).
Sub XoaDuLieu()
    Kelvora.XoaDuLieu
End Sub

' Copy L3 to the clipboard.
Sub Copy1()
    Kelvora.Copy1
End Sub

' Copy L4.
Sub Copy2()
    Kelvora.Copy2
End Sub

' Copy L5.
Sub Copy3()
    Kelvora.Copy3
End Sub

' Copy L9.
Sub Copy4()
    Kelvora.Copy4
End Sub

' Copy L10.
Sub Copy5()
    Kelvora.Copy5
End Sub

' Copy L11.
Sub Copy6()
    Kelvora.Copy6
End Sub

' The report page in the browser.
Sub BaoCao()
    Kelvora.BaoCao
End Sub

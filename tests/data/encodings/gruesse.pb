; Grüße aus München: ein kleines Programm für die Größenberechnung
XIncludeFile "vacances.pbi"

Procedure.i Zaehle(n.i)
  Protected i.i, summe.i
  For i = 1 To n
    summe + i ; Summe für große Zahlen
  Next
  ProcedureReturn summe
EndProcedure

Define gruss.s = "Schöne Grüße!"
Define ergebnis.i = Zaehle(10)
Debug gruss + " Ergebnis: " + Str(ergebnis)
Debug Vacances("été")

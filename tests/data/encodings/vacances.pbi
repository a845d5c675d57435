; Fichier français d'avant l'UTF-8 : été, naïve, déjà vu
Procedure.s Vacances(saison.s)
  Protected texte.s = "Bonnes vacances d'" + saison + " à la mer – Grüße"
  ProcedureReturn texte + " ™"
EndProcedure

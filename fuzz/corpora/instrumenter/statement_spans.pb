Label1: a = 1 : b$ = "x : y" ; c : d
Procedure P() : x = 1 : EndProcedure
If a : b = 2 : Else : c = 3 : EndIf ; x:y
c = 1 +
  2 : d = 3
Select a : Case 1 : Default : EndSelect

Procedure.i Foo(a, b)
  If a : b = 1 : Else : b = 2 : EndIf
  ProcedureReturn b ; done
EndProcedure
Start:
x = a +
    b
Select x
  Case 1 : Debug "a:b;c"
  Default
EndSelect

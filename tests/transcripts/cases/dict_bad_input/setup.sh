#!/bin/sh
# Dictionary files edited by hand: short, long, non-numeric and truncated
# lines, blank lines, carriage returns, an over-long line whose tail looks
# like a record, a table whose columns have a gap and one whose column map
# file is missing. Objects 64 to 67 have their columns in BEXCOLMAP000 to 003.
mkdir -p BEXDICT
long=$(printf '%0300d' 0)
printf '0,SYS,\n54,SCOTT,\r\n\n7\nx9,BAD,\n55,\n56,%s\n57,HR\n' "$long" > BEXDICT/BEXUSR.TXT
{
  printf '64,54,EMP,,2,\n'
  printf '65,54,GAPS,,2,\n'
  printf '66,54,DEPT\n'                 # truncated before SUBNAME
  printf '6x,54,BONUS,,2,\n'            # non-numeric OBJ#
  printf '1,2\n'                        # too short
  printf '67,54,NOCOLS,,2,\n'
  printf '68,54,%s,,2,\n' "$long"       # too long
  printf '%s69,54,TAIL,,2,\n' "$(printf '%01100d' 0)"  # tail of a line over the buffer
  printf '70,54,,,2,\n'                 # no name
  printf '71,54,SALARY,,,\n'            # no TYPE#
  printf '\n\r\n'
} > BEXDICT/BEXOBJ.TXT
printf '64,64,4,4,10,\n65,,4,x,0,\n67,67,4,4,30\n' > BEXDICT/BEXTAB.TXT
{
  printf '64,1,1,EMPNO,2,22,4,0,1,1,0,0,0,\n'
  printf '64,2,2,ENAME,1,10,,,0,2,0,852,1,\n'
  printf '64,3,3,JOB\n'                           # truncated: not read
  printf '64,4,4,%s,1,10,,,0,4,0,852,1,\n' "$(printf '%0128d' 0)"   # 128-character name
  printf '64,5,5,HIRED,12,x7,,,0,5,0,0,0,\n'      # non-numeric LENGTH
} > BEXDICT/BEXCOLMAP000.TXT
printf '65,1,1,A,1,10,,,0,1,0,852,1\n65,3,3,C,1,10,,,0,3,0,852,1\n' > BEXDICT/BEXCOLMAP001.TXT

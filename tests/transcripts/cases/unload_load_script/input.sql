LOAD
LOAD SCRIPT
LOAD TABLE SCOTT
LOAD SCRIPT loadall.bat
! ls -l loadall.sh | cut -c1-10
! sh ./loadall.sh sql
! sh ./loadall.sh
LOAD SCRIPT missing_dir/loadall.bat

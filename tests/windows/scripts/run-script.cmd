@echo off
rem Registers one bitness's library, then runs a script with that bitness's script host:
rem   run-script.cmd <Trelmo.dll> <cscript.exe> <script> <script arguments>...
"%WINDIR%\system32\regsvr32.exe" /s %1
if errorlevel 1 (
    echo regsvr32 %1 failed
    exit /b 1
)
%2 //nologo %3 %4 %5

@echo off
rem Runs the tool chain on the bundled example project in examples\, in the order of a PLC
rem build after the linker: symbol map, image files, joined file; then verifies the joined
rem file.
rem
rem   run_example.cmd [BUILD [OUT]]
rem
rem BUILD is the build folder of the windows preset (default build-windows), or a folder that
rem holds Symvex.exe, Tessan.exe, Orlund.exe, Plcinfo.exe and plcgen.exe; every output goes
rem into OUT (default out).
setlocal
cd /d "%~dp0"
set "build=%~1"
if "%build%"=="" set "build=build-windows"
set "out=%~2"
if "%out%"=="" set "out=out"

set "symvex=%build%\Symvex.exe"
set "tessan=%build%\Tessan.exe"
set "orlund=%build%\Orlund.exe"
if exist "%build%\symmap\Symvex.exe" set "symvex=%build%\symmap\Symvex.exe"
if exist "%build%\splitter\Tessan.exe" set "tessan=%build%\splitter\Tessan.exe"
if exist "%build%\joiner\Orlund.exe" set "orlund=%build%\joiner\Orlund.exe"
set "plcinfo=%build%\Plcinfo.exe"
if exist "%build%\inspector\Plcinfo.exe" set "plcinfo=%build%\inspector\Plcinfo.exe"

if exist "%out%" rmdir /s /q "%out%"
mkdir "%out%\images"
if not exist "%out%\images" exit /b 1

rem The linked executable is generated from its readable description (no binary is checked in).
"%build%\plcgen.exe" examples\KORVEX.plcgen "%out%\KORVEX.EXE"
if %errorlevel% neq 0 exit /b 1

echo == Symvex %out%\plc.mp2 examples\plc.lst examples\KORVEX.map
"%symvex%" "%out%\plc.mp2" examples\plc.lst examples\KORVEX.map
if %errorlevel% neq 0 exit /b 1

echo == Tessan %out%\images\ %out%\KORVEX.EXE examples\KORVEX.map examples\Make.knf
"%tessan%" "%out%\images\\" "%out%\KORVEX.EXE" examples\KORVEX.map examples\Make.knf
if %errorlevel% neq 0 exit /b 1

echo == Orlund %out%\images\ KORVEX.PLC examples\PLC_ENDP.DAT
"%orlund%" "%out%\images\\" KORVEX.PLC examples\PLC_ENDP.DAT
if %errorlevel% neq 0 exit /b 1

echo == Plcinfo %out%\images\KORVEX.PLC
"%plcinfo%" "%out%\images\KORVEX.PLC"
if %errorlevel% neq 0 exit /b 1

echo.
echo Outputs in %CD%\%out%:
echo   plc.mp2            the symbol map
echo   images\Plc_*.bin   the seventeen PLC images
echo   images\KORVEX.PLC  the joined file for the control

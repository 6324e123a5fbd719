@echo off
rem Kelvora: registers x64\Kelvora.dll and x86\Kelvora.dll of this folder
rem with the regsvr32 of each bitness and adds the add-in Kelvora.Connect to
rem Excel, for the current user (no administrator needed) or, with /machine,
rem for every user of the machine. With /u it removes those registrations
rem and the add-in instead (GoCaiDat.cmd). Exits with 0 when every step
rem succeeded, 1 when one failed, 2 for a wrong argument.
setlocal EnableExtensions DisableDelayedExpansion
set "HERE=%~dp0"
set "KELVORA_CP="
for /f "tokens=2 delims=:." %%c in ('chcp') do set "KELVORA_CP=%%c"
chcp 65001 >nul

set "MODE=install"
set "SCOPE=user"
:arguments
if "%~1"=="" goto :arguments_done
if /i "%~1"=="/machine" set "SCOPE=machine" & shift & goto :arguments
if /i "%~1"=="/u" set "MODE=uninstall" & shift & goto :arguments
echo Cách dùng: CaiDat.cmd [/machine]      (cài đặt)
echo            GoCaiDat.cmd [/machine]    (gỡ cài đặt)
echo /machine: cho mọi người dùng của máy; cần quyền quản trị.
set "RC=2"
goto :end
:arguments_done

rem The regsvr32 of each bitness as this prompt sees them: a 32-bit prompt
rem on 64-bit Windows reaches the 64-bit one through Sysnative; 32-bit
rem Windows has the 32-bit one alone.
set "REGSVR64="
set "REGSVR32=%SystemRoot%\System32\regsvr32.exe"
if not exist "%SystemRoot%\SysWOW64\regsvr32.exe" goto :found_regsvr
set "REGSVR32=%SystemRoot%\SysWOW64\regsvr32.exe"
set "REGSVR64=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "REGSVR64=%SystemRoot%\Sysnative\regsvr32.exe"
:found_regsvr

if "%SCOPE%"=="user" (set "OPTIONS=/s /n /i:user") else (set "OPTIONS=/s")
if "%MODE%"=="uninstall" set "OPTIONS=/u %OPTIONS%"
if "%SCOPE%"=="user" (set "WHO=cho người dùng hiện tại") else (set "WHO=cho mọi người dùng của máy")
if "%MODE%"=="install" (set "DONE=Đã đăng ký") else (set "DONE=Đã gỡ đăng ký")
if "%MODE%"=="install" (set "NOT_DONE=không đăng ký được") else (set "NOT_DONE=không gỡ được")

set "RC=0"
if defined REGSVR64 (call :run "%REGSVR64%" x64 64) else (echo Windows 32-bit: bỏ qua bản 64-bit.)
call :run "%REGSVR32%" x86 32
rem The add-in's key Excel reads at start: per user one key serves Office of
rem either bitness; for the machine each bitness reads its own view.
set "ADDIN=Software\Microsoft\Office\Excel\Addins\Kelvora.Connect"
if "%MODE%"=="install" if not "%RC%"=="0" goto :addin_done
if "%SCOPE%"=="user" call :addin "HKCU\%ADDIN%" "" ""
if "%SCOPE%"=="machine" call :addin "HKLM\%ADDIN%" /reg:32 "(Office 32-bit)"
if "%SCOPE%"=="machine" if defined REGSVR64 call :addin "HKLM\%ADDIN%" /reg:64 "(Office 64-bit)"
:addin_done
echo.
if not "%RC%"=="0" goto :failed
if "%MODE%"=="uninstall" goto :removed
echo Xong. Đừng xoá hay di chuyển thư mục này: Excel nạp Kelvora.dll từ đây.
echo Tiếp theo: mở Excel, bấm "Sổ mới" trên thẻ Kelvora (xem HuongDan.txt).
goto :end
:removed
echo Xong. Không còn đăng ký nào của Kelvora %WHO%; có thể xoá thư mục này.
goto :end
:failed
if "%SCOPE%"=="machine" echo Với /machine, hãy mở Command Prompt bằng "Run as administrator" rồi chạy lại.
echo Hãy giải nén toàn bộ tệp zip vào một thư mục cố định rồi chạy lại.
goto :end

rem :run REGSVR32 FOLDER BITS: FOLDER\Kelvora.dll through REGSVR32. Paths are
rem echoed in quotes: a folder's name may hold & or parentheses.
:run
set "DLL=%HERE%%~2\Kelvora.dll"
if exist "%DLL%" goto :run_dll
echo Lỗi: không tìm thấy "%DLL%"
set "RC=1"
goto :eof
:run_dll
"%~1" %OPTIONS% "%DLL%"
set "CODE=%ERRORLEVEL%"
if not "%CODE%"=="0" goto :run_failed
echo %DONE% Kelvora.dll %~3-bit %WHO%: "%DLL%"
goto :eof
:run_failed
echo Lỗi: %NOT_DONE% Kelvora.dll %~3-bit %WHO% (regsvr32 trả về mã %CODE%): "%DLL%"
set "RC=1"
goto :eof

rem :addin KEY VIEW WHICH: writes (or, uninstalling, removes) the add-in's KEY in
rem the registry view VIEW (/reg:32, /reg:64, or "" for the only one);
rem WHICH says which Office reads it.
:addin
if "%MODE%"=="uninstall" goto :addin_remove
reg add "%~1" /v FriendlyName /t REG_SZ /d "Kelvora" /f %~2 >nul 2>&1
if errorlevel 1 goto :addin_failed
reg add "%~1" /v Description /t REG_SZ /d "Thống kê giải đặc biệt xổ số: thẻ Kelvora trên ribbon của Excel" /f %~2 >nul 2>&1
if errorlevel 1 goto :addin_failed
reg add "%~1" /v LoadBehavior /t REG_DWORD /d 3 /f %~2 >nul 2>&1
if errorlevel 1 goto :addin_failed
echo Đã thêm thẻ Kelvora vào Excel %~3 %WHO%
goto :eof
:addin_remove
reg query "%~1" %~2 >nul 2>&1
if errorlevel 1 goto :eof
reg delete "%~1" /f %~2 >nul 2>&1
if errorlevel 1 goto :addin_failed
echo Đã bỏ thẻ Kelvora khỏi Excel %~3 %WHO%
goto :eof
:addin_failed
echo Lỗi: %NOT_DONE% phần bổ trợ Kelvora của Excel %~3 %WHO%: "%~1"
set "RC=1"
goto :eof

:end
if defined KELVORA_CP chcp %KELVORA_CP% >nul 2>&1
rem A double-click opens a window that closes with the script: keep it open
rem until a key is pressed.
setlocal EnableDelayedExpansion
if /i not "!cmdcmdline:%~nx0=!"=="!cmdcmdline!" pause
endlocal & exit /b %RC%

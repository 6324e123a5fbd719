@echo off
rem Kelvora: removes the registrations CaiDat.cmd made, for the current user
rem or, with /machine, for every user of the machine.
call "%~dp0CaiDat.cmd" /u %*

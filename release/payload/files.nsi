; The release's payload: a silent self-extractor that unpacks the new client files into its
; current folder, overwriting files of the same names, and exits. No window, no uninstaller, no
; registry entries.
;   makensis -DTARGET=amd64-unicode|x86-unicode -DCLIENT_DIR=<folder> -DOUT_FILE=<files.exe>
Target ${TARGET}
Name "OrveLin"
OutFile "${OUT_FILE}"
SilentInstall silent
RequestExecutionLevel user
SetCompressor /SOLID lzma
SetOverwrite on
SetDatablockOptimize on

Section
  ; The folder it was started in, not the folder of its own file.
  System::Call 'kernel32::GetCurrentDirectoryW(i ${NSIS_MAX_STRLEN}, w .r0) i .r1'
  SetOutPath "$0"
  File "${CLIENT_DIR}/OrveLin.exe"
  File "${CLIENT_DIR}/OrveLin.chm"
SectionEnd

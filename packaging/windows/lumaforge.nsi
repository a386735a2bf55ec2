; The Windows installer: Lumaforge for the current user only, no
; administrator rights asked. It puts the program under the user's local
; application data, a shortcut in the user's Start menu, the program among
; the "Open with" choices of the picture types it opens (the user's own
; classes), and an uninstaller registered under the user's Uninstall key
; that takes all of that away again. It speaks Russian or English: the
; language Windows uses, or the one chosen in its first dialog, which the
; uninstaller then speaks too.
;
; makensis -DVERSION=1.0.0 -DARCH=x64|x86 -DEXE=lumaforge.exe -DICON=app.ico -DGUIDE=docs/guide
;          -DOUTFILE=setup.exe lumaforge.nsi
; Silent: setup.exe /S, then uninstall.exe /S.

!if "${ARCH}" == "x64"
  Target amd64-unicode
!else if "${ARCH}" == "x86"
  Target x86-unicode
!else
  !error "ARCH must be x64 or x86"
!endif

!include MUI2.nsh
!include FileFunc.nsh

!define PRODUCT "Lumaforge"
!define CLASSES "Software\Classes"
!define PROGID "Lumaforge.Picture"
!define APPKEY "${CLASSES}\Applications\lumaforge.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumaforge"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} (${ARCH})"
VIAddVersionKey /LANG=0 "LegalCopyright" "The Lumaforge developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\lumaforge.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the default; Windows in English gets English pages.
; The language dialog offers both, the system's language chosen; the choice is
; kept under the uninstaller's key (which the uninstaller takes away).
!define MUI_LANGDLL_WINDOWTITLE "${PRODUCT}"
!define MUI_LANGDLL_INFO "Выберите язык установки.$\r$\nPlease select the installer's language."
!define MUI_LANGDLL_REGISTRY_ROOT HKCU
!define MUI_LANGDLL_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "Installer Language"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

; The picture types the program opens: `macro` is called with each one, by
; the installer and by the uninstaller.
!macro ForEachExtension macro
  !insertmacro ${macro} ".bmp"
  !insertmacro ${macro} ".png"
  !insertmacro ${macro} ".jpg"
  !insertmacro ${macro} ".jpeg"
  !insertmacro ${macro} ".gif"
  !insertmacro ${macro} ".tif"
  !insertmacro ${macro} ".tiff"
  !insertmacro ${macro} ".webp"
!macroend

!macro RegisterExtension ext
  WriteRegStr HKCU "${CLASSES}\${ext}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKCU "${APPKEY}\SupportedTypes" "${ext}" ""
!macroend

; Takes our value away and the keys only when nothing else is left in them:
; another program may have registered the same type.
!macro UnregisterExtension ext
  DeleteRegValue HKCU "${CLASSES}\${ext}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "${CLASSES}\${ext}\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "${CLASSES}\${ext}"
!macroend

; Explorer caches associations; tell it they changed (SHCNE_ASSOCCHANGED).
!macro NotifyAssociations
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Function .onInit
  SetShellVarContext current
!if "${ARCH}" == "x64"
  SetRegView 64
!endif
  ; Not shown when installing silently (/S): the system's language.
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Function un.onInit
  SetShellVarContext current
!if "${ARCH}" == "x64"
  SetRegView 64
!endif
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

Section "Lumaforge"
  SetOutPath "$INSTDIR"
  File "/oname=lumaforge.exe" "${EXE}"
  ; The guide, which Справка > Руководство (Help > Guide) opens from here:
  ; Russian in guide\, English in guide\en\.
  SetOutPath "$INSTDIR\guide"
  File /r "${GUIDE}/*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\lumaforge.exe" "" "$INSTDIR\lumaforge.exe" 0 \
    SW_SHOWNORMAL "" "$(Description)"

  WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "$(PictureType)"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\lumaforge.exe,0"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\lumaforge.exe" "%1"'
  WriteRegStr HKCU "${APPKEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKCU "${APPKEY}\shell\open\command" "" '"$INSTDIR\lumaforge.exe" "%1"'
  !insertmacro ForEachExtension RegisterExtension

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Comments" "$(Description)"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumaforge.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Lumaforge developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  !insertmacro NotifyAssociations
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  DeleteRegKey HKCU "${APPKEY}"
  DeleteRegKey /ifempty HKCU "${CLASSES}\Applications"
  !insertmacro ForEachExtension UnregisterExtension
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  Delete "$INSTDIR\lumaforge.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /r "$INSTDIR\guide"
  RMDir "$INSTDIR"
  ; The per-user Programs folder goes only if nothing else is left in it.
  RMDir "$LOCALAPPDATA\Programs"
  !insertmacro NotifyAssociations
SectionEnd

; The installer's own texts, in both languages (the desktop entry's comment).
LangString PictureType ${LANG_RUSSIAN} "Изображение (Lumaforge)"
LangString PictureType ${LANG_ENGLISH} "Picture (Lumaforge)"
LangString Description ${LANG_RUSSIAN} "Точечные операции, фильтры, преобразования и сегментация изображения и его гистограммы"
LangString Description ${LANG_ENGLISH} "Apply point operations, filters, transforms and segmentation to a picture and watch its histograms"

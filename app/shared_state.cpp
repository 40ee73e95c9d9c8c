#include "app/shared_state.h"

char g_installFolder[1024];
char g_quotedProgramPath[1024];
char g_browserProgram[260];
int32_t g_showOnStart;
int32_t g_stayOnTop;
int32_t g_popupHotKeyInUse;
int32_t g_selectedIndex;
int32_t g_dropPending;
char g_droppedText[1024];

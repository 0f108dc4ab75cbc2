// Identifiers shared by quillmark.rc and the module's code.
#pragma once

#define IDS_PROJNAME 1
#define IDS_ADDIN_DESCRIPTION 2
#define IDS_CMD_CLASS_OR_FUNCTION 3
#define IDS_CMD_SETTING 4
#define IDS_CMD_ABOUT 5
#define IDS_CMD_DELETE_TEXT 6
#define IDS_CMD_FILE_NOTE 7

#define IDB_TOOLBAR_MEDIUM 128
#define IDB_TOOLBAR_LARGE 129

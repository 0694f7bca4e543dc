// String resource ids of the library's own table.
#pragma once
#define IDS_INSTALL_CAPTION 408
#define IDS_UNSUPPORTED_SYSTEM 409
#define IDS_ADMIN_REQUIRED 410
#define IDS_CLIENT_RUNNING 411
#define IDS_SELECT_LOCAL_FOLDER 433
#define IDS_NO_ROOT_FOLDER 434
#define IDS_UPGRADE_NT_SP3 453

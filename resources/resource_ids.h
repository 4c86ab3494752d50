// Resource identifiers of TavoSetup.exe, shared by the resource script and the code.
#pragma once

// The Tavo.Deploy program, RT_RCDATA, byte for byte.
#define TAVO_RESOURCE_WORKER 301

// The application icon group (window class icon, small icon too).
#define TAVO_RESOURCE_ICON 101

// Resource identifiers of TavoSetup.exe, shared by the resource script and the code.
#pragma once

// The Tavo.Deploy program, RT_RCDATA, packed (resources/pack.py): it expands
// to the built worker byte for byte.
#define TAVO_RESOURCE_WORKER 301

// The application icon group (window class icon, small icon too): PNG frames
// of 16, 32, 48 and 64 pixels.
#define TAVO_RESOURCE_ICON 101

// Pictures, RT_RCDATA: the wordmark (PNG 480 x 160 with alpha), the
// application logo (PNG 256 x 256) and the seven tip pictures (JPEG), tip i
// being TAVO_RESOURCE_TIP_FIRST + i (211 to 217).
#define TAVO_RESOURCE_WORDMARK 201
#define TAVO_RESOURCE_LOGO 203
#define TAVO_RESOURCE_TIP_FIRST 211

// The four "Tavo Inter" weights (400, 500, 600, 700), RT_RCDATA TrueType
// files, packed like the worker.
#define TAVO_RESOURCE_FONT_REGULAR 221
#define TAVO_RESOURCE_FONT_MEDIUM 222
#define TAVO_RESOURCE_FONT_SEMIBOLD 223
#define TAVO_RESOURCE_FONT_BOLD 224

// The setup's texts in every language it speaks, RT_RCDATA, packed like the
// worker (made by resources/languages/make_table.py).
#define TAVO_RESOURCE_TEXTS 231

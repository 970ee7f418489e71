/* Ids of the style dialog (dialog 107) and its controls, shared by its template
   (MainDialog.rc) and the code. Plain #defines: the resource compiler reads this file. */
#ifndef BF_MAIN_DIALOG_IDS_H
#define BF_MAIN_DIALOG_IDS_H

#define BF_DLG_MAIN 107

/* Buttons. IDOK (1) and IDCANCEL (2) end the dialog. */
#define BF_IDC_LOAD 3
#define BF_IDC_SAVE 4
#define BF_IDC_TOOL_EDIT 5     /* preview tool: map edit */
#define BF_IDC_TOOL_HAND 6     /* preview tool: hand */
#define BF_IDC_ADD_LAYER 7
#define BF_IDC_REMOVE_LAYER 8
#define BF_IDC_MATERIAL_SWATCH 10
#define BF_IDC_AMBIENT_SWATCH 11
#define BF_IDC_HELP 12
#define BF_IDC_SIZE_GRIP 13
#define BF_IDC_PREVIEW 30
#define BF_IDC_MATERIAL_LINK 33
#define BF_IDC_REFLECTION 34
#define BF_IDC_TABS 35          /* the tabs send 35, 36, 37 */
#define BF_IDC_SHOW_PATH 48
#define BF_IDC_RENDER_MODE 52
#define BF_IDC_ANTI_ALIASING 53
#define BF_IDC_SMOOTH_PATH 54
#define BF_IDC_SHOW_MAPPING 55
#define BF_IDC_LIGHT1 60        /* lights 60, 61, 62 */
#define BF_IDC_OPACITY 130
#define BF_IDC_SHININESS 132
#define BF_IDC_SHIN_STRENGTH 134
#define BF_IDC_REFLECTIVITY 136
#define BF_IDC_MAP_LIST 150

/* Bevel controls, shown for the bevel elements: 200..219. */
#define BF_IDC_BEVEL_FIRST 200
#define BF_IDC_BEVEL_LAST 219
#define BF_IDC_JOIN_ROUND 209
#define BF_IDC_JOIN_BEVEL 210
#define BF_IDC_JOIN_MITER 211
#define BF_IDC_MITER_LIMIT 212
#define BF_IDC_CONTOUR 213
#define BF_IDC_FLIP_H 214
#define BF_IDC_FLIP_V 215
#define BF_IDC_SIZE 216
#define BF_IDC_DEPTH 218

/* Map layer controls, shown while a layer is selected: 300..316. */
#define BF_IDC_LAYER_FIRST 300
#define BF_IDC_LAYER_LAST 316
#define BF_IDC_APPLY_MAIN 300   /* 300, 301, 302: Main, Inner Bevel, Outer Bevel */
#define BF_IDC_INVERT_MAP 303
#define BF_IDC_LAYER_IMAGE 304
#define BF_IDC_PLACEMENT 305
#define BF_IDC_AMOUNT 306
#define BF_IDC_ALPHA_IMAGE 313  /* 313, 314, 315: Image Alpha, RGB Intensity, Opaque */
#define BF_IDC_ALPHA_AS_RGB 316

#define BF_IDC_ZOOM_IN 401
#define BF_IDC_ZOOM_OUT 402
#define BF_IDC_ZOOM_LABEL 403
#define BF_IDC_GROUP_FIRST 800  /* group boxes 800..803 */
#define BF_IDC_GROUP_LAST 803

/* The map kind popup built by the dialog. */
#define BF_MENU_MAP_KINDS 3000

/* Icons of the dialog's buttons: 5..8 (tools, add, remove), 12 (help), 209..211 (joins). */
#define BF_ICON_TOOL_EDIT 5
#define BF_ICON_TOOL_HAND 6
#define BF_ICON_ADD_LAYER 7
#define BF_ICON_REMOVE_LAYER 8
#define BF_ICON_HELP 12
#define BF_ICON_JOIN_ROUND 209
#define BF_ICON_JOIN_BEVEL 210
#define BF_ICON_JOIN_MITER 211

#endif

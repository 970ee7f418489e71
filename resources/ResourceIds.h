/* Resource identifiers of the filter module. Plain #defines because the resource compiler reads
   this file too; C++ code may include it as "resources/ResourceIds.h". */
#ifndef BF_RESOURCE_IDS_H
#define BF_RESOURCE_IDS_H

/* Property list ("PIPL") that hosts read to list the filter; also the id of the terminology
   resource that the property list names. */
#define BF_PROPERTY_LIST_ID 16000
#define BF_TERMINOLOGY_ID 16000

/* String table entries shown for the message codes 2..5 left in the result cell: id = 16198 + code. */
#define BF_STR_INVALID_PATH 16200        /* code 2: the target path cannot be traced */
#define BF_STR_NO_PATHS 16201            /* code 3: the document has no paths */
#define BF_STR_NO_TARGET_PATH 16202      /* code 4: no path is targeted */
#define BF_STR_LOCKED_TRANSPARENCY 16203 /* code 5: the layer's transparency is locked */

/* Cursors of the preview's tools. */
#define BF_CURSOR_MOVE 3   /* map edit tool inside the placement frame */
#define BF_CURSOR_RESIZE 4 /* map edit tool over a handle of the frame */
#define BF_CURSOR_ROTATE 5 /* map edit tool outside the frame */
#define BF_CURSOR_HAND 6   /* hand tool, or the space bar held */
/* The dialog's controls and the About box. */
#define BF_BMP_THUMB_MASK 100        /* slider thumb mask, combined with AND */
#define BF_BMP_THUMB 101             /* slider thumb colours, combined with OR (3D colours mapped) */
#define BF_BMP_ABOUT 103             /* the About box's picture */
#define BF_BMP_TABS 200              /* pieces of the element tabs (3D colours mapped) */
#define BF_BMP_CONTOUR_FIRST 500     /* contour i is bitmap 500 + i, made at build time */
#define BF_DLG_ABOUT 101             /* the About box */
#define BF_ABOUT_WEBSITE 1000        /* About box button: opens the maker's web site */
#define BF_MENU_REFLECTION 3001      /* the reflection control's right-click menu */
#define BF_CMD_OPEN_REFLECTION 3100  /* "Open Image..." */
#define BF_CMD_REMOVE_REFLECTION 3101 /* "Remove Reflection" */

#endif

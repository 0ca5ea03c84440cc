// Resource numbers of our checkwb.dll stand-in: its one dialog, which asks where a
// browser that was not found is installed.
#ifndef OUTSIDE_CHECKWB_RESOURCE_H
#define OUTSIDE_CHECKWB_RESOURCE_H

#define IDD_LOCATE_BROWSER 100
#define IDC_LOCATE_PROMPT 101
#define IDC_LOCATE_PATH 102
#define IDC_LOCATE_BROWSE 103

#endif

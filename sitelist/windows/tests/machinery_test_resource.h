// Resource numbers of the machinery test's own dialogs (inside the skeleton's
// ranges, used by no window of the program).
#ifndef SITELIST_WINDOWS_TESTS_MACHINERY_TEST_RESOURCE_H
#define SITELIST_WINDOWS_TESTS_MACHINERY_TEST_RESOURCE_H

#define IDD_TEST_CHILD 108
#define IDD_TEST_FORM 109
#define IDC_TEST_EDIT 1098
#define IDC_TEST_DONE 1099

#endif

// The report, preview and viewer procedures of TABLNK.exe: the six reports of
// the "&Reports" menu, ReportPreview, and the text viewers of the "&Help" menu
// and of the export and import windows.
#ifndef SITELIST_EXCHANGE_REPORT_WINDOWS_H
#define SITELIST_EXCHANGE_REPORT_WINDOWS_H

#include "sitelist/exchange/report_layout.h"

// The report procedures (WindowProcedure): each runs its report with the
// "Generating Report" progress and then its preview; the argument is unused.
// They return 1 when the report was printed, 0 otherwise.
int PrintURL_K_Description(void* unused);
int PrintURL_K_Location(void* unused);
int PrintURL_K_Category(void* unused);
int PrintURL_K_Rating(void* unused);
int PrintURL_K_Keyword(void* unused);
int PrintCAT_K_Category(void* unused);

// ReportPreview: shows the pages of a finished report in the window "Report
// Preview" on the calling thread until the user prints or leaves. Pages are
// recorded once each, as enhanced metafiles, when first shown or printed, and
// played both to the window and to the printer. Returns 1 when printed.
int ReportPreview(const ReportDefinition& definition, const ReportRows& rows);

// The text viewers (WindowProcedure); the argument is unused. Each returns 1
// when its file was shown.
int WhatsNew(void* unused);
int ReadMe(void* unused);
int ExportHelp(void* unused);
int ImportHelp(void* unused);

#endif

// REPORT: the recovery report of the run as an HTML page.
#pragma once

namespace bex {

struct RunContext;

// REPORT [TO file.html]: the page, by default "bexreport.html".
void cmdReport(RunContext& rc);

}  // namespace bex

#pragma once
// The three monitoring grids: diagnostics (registers that identified
// themselves), goods (the goods file) and report (the last report rows).
// Every cell, headings included, holds code page 866 bytes. Beside them the
// status board, the same figures for monitoring tools.

#include "store/grid_model.h"
#include "store/status_board.h"

namespace tillgate {

inline constexpr int kDiagnosticsColumns = 5;
// Decoding writes rows 1..15, so the grid keeps all of them.
inline constexpr int kDiagnosticsRows = 16;
// Start clears every data row the view shows, so no register from before the
// restart stays listed (decoding's overflow row 15 included).
inline constexpr int kDiagnosticsLastRow = kDiagnosticsRows - 1;
inline constexpr int kGoodsColumns = 6;
inline constexpr int kGoodsInitialRows = 10000;
inline constexpr int kReportColumns = 11;
inline constexpr int kReportRows = 100;

struct MonitoringViews {
  GridModel diagnostics{kDiagnosticsColumns, kDiagnosticsRows};
  GridModel goods{kGoodsColumns, kGoodsInitialRows};
  GridModel report{kReportColumns, kReportRows};
  StatusBoard status;

  // Writes row 0 of all three grids; done once at start-up.
  void WriteHeadings();
};

}  // namespace tillgate

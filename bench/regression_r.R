# The multiple regression case of analysis_bench done in R with data.table,
# for comparison: read the source table, fit Y on X1..X5 in each group G
# (records with every value present), write one row of coefficients per
# group and one residual row per record back into the same SQLite file,
# replacing what an earlier run wrote. Run it on a file that
# analysis_bench kept (ANALYSIS_BENCH_DB):
#
#   Rscript bench/regression_r.R /tmp/bench.db [runs]
#
# Needs r-base-core, r-cran-data.table, r-cran-rsqlite and r-cran-dbi.
suppressPackageStartupMessages({
  library(DBI)
  library(RSQLite)
  library(data.table)
})

args <- commandArgs(trailingOnly = TRUE)
if (length(args) < 1) stop("usage: Rscript regression_r.R <database> [runs]")
runs <- if (length(args) > 1) as.integer(args[2]) else 2L
con <- dbConnect(SQLite(), args[1])

fit_group <- function(X1, X2, X3, X4, X5, Y) {
  m <- lm(Y ~ X1 + X2 + X3 + X4 + X5)
  s <- summary(m)
  cf <- s$coefficients
  f <- s$fstatistic
  list(coef = list(Count = length(Y), R2 = s$r.squared, AdjR2 = s$adj.r.squared, SE = s$sigma,
                   F = f[[1]], Prob = pf(f[[1]], f[[2]], f[[3]], lower.tail = FALSE),
                   Intercept = cf[1, 1], B1 = cf[2, 1], B2 = cf[3, 1], B3 = cf[4, 1], B4 = cf[5, 1], B5 = cf[6, 1],
                   SE0 = cf[1, 2], SE1 = cf[2, 2], SE2 = cf[3, 2], SE3 = cf[4, 2], SE4 = cf[5, 2], SE5 = cf[6, 2],
                   P0 = cf[1, 4], P1 = cf[2, 4], P2 = cf[3, 4], P3 = cf[4, 4], P4 = cf[5, 4], P5 = cf[6, 4]),
       fitted = unname(fitted(m)))
}

for (run in seq_len(runs)) {
  t <- system.time({
    dbBegin(con)
    d <- setDT(dbGetQuery(con, "SELECT G, X1, X2, X3, X4, X5, Y FROM Source"))
    d <- d[complete.cases(d)]
    setkey(d, G)
    coefs <- list()
    d[, Estimated_Y := {
      r <- fit_group(X1, X2, X3, X4, X5, Y)
      coefs[[.GRP]] <<- c(list(G = .BY$G), r$coef)
      r$fitted
    }, by = G]
    d[, Residual := Y - Estimated_Y]
    dbWriteTable(con, "RRegression", rbindlist(coefs), overwrite = TRUE)
    dbWriteTable(con, "RResidual", d, overwrite = TRUE)
    dbCommit(con)
  })
  cat(sprintf("R run %d: %.2f s (%d residual rows)\n", run, t[["elapsed"]], nrow(d)))
}
dbDisconnect(con)

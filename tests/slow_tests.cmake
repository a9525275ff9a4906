# Included by ctest after the discovered tests: names of the tests labelled
# "slow" (each runs the main program end to end, or runs the threshold
# trials twice over several samples; the sanitizer run of CI leaves them
# out, the ordinary run keeps them).
set_tests_properties(
  ExampleRegression.ReportMatchesExpected
  DetermineDeltaValueTest.FastTrialsEqualAPlainReading
  MainEndToEnd.SimulatedPopulationGivesEstimatesNearTheTruthAndRepeats
  MainEndToEnd.ThreadCountChangesNoOutput
  FindCI95EndToEnd.IntervalsHoldEveryPointEstimate
  FindCI95EndToEnd.ReportShowsTheIntervals
  PROPERTIES LABELS slow)

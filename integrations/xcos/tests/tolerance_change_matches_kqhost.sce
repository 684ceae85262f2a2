// Tolerance edited while an Xcos simulation is paused: the block sees the change at its next
// activation, as a parameter change, and the output is bit for bit kqhost run's with
// --set-tolerance at the same output steps.
here = get_absolute_file_path("tolerance_change_matches_kqhost.sce");
loadXcosLibs();
loadScicos();
exec(here + "../macros/KQPHASEFIX2.sci", -1);
exec(here + "xcos_test_support.sci", -1);
kqxLinkAdapter();

// changes: rows [output step, new Tolerance].
function kqxCompareToleranceChanges(what, T, C, frameLen, toleranceText, running, changes)
    input = kqxPhaseSignal(T, C);
    inputPath = TMPDIR + "/kqx_input.f64";
    expectedPath = TMPDIR + "/kqx_expected.f64";
    kqxWriteSignal(inputPath, input);
    steps = T / max(frameLen, 1);
    [scs_m, blockIndex] = kqxDiagram(inputPath, C, frameLen, steps, ..
                                     kqxBlockExprs(toleranceText, running, frameLen));
    [unchanged, in, Info] = kqxSimulate(scs_m);
    edits = [changes(:, 1), ones(changes(:, 1)), changes(:, 2)];
    out = kqxSimulateWithEdits(scs_m, Info, blockIndex, edits);

    options = kqxPortOptions(C, frameLen, toleranceText, running);
    for k = 1:size(changes, "r")
        options = options + msprintf(" --set-tolerance %d:%.17g", changes(k, 1), changes(k, 2));
    end
    kqxRunKqhost(inputPath, expectedPath, options);
    kqxAssertSameBits(what, out, expectedPath);
    // Unless the edits change the output, the comparison cannot tell an adapter that reports
    // them from one that ignores them.
    if and(out == unchanged) then
        error(what + ": the edits did not change the output; they exercise nothing");
    end
endfunction

function vector_of_channels_running()
    kqxCompareToleranceChanges("4 channels, running", 240, 4, 0, "%pi", 0, ..
                               [60 9.5; 150 -1; 151 %pi]);
endfunction

function frames_running()
    kqxCompareToleranceChanges("frames of 16 x 3, running", 320, 3, 16, "9.5", 0, ..
                               [4 2; 12 7]);
endfunction

function frames_stateless()
    kqxCompareToleranceChanges("frames of 8 x 4, stateless", 160, 4, 8, "%pi", 1, [1 12; 15 0]);
endfunction

// The running switch is not a run-time parameter: editing it stops the simulation with the
// block adapter's message instead of being ignored.
function running_cannot_change()
    input = kqxPhaseSignal(40, 2);
    inputPath = TMPDIR + "/kqx_input.f64";
    kqxWriteSignal(inputPath, input);
    [scs_m, blockIndex] = kqxDiagram(inputPath, 2, 0, 40, kqxBlockExprs("%pi", 0, 0));
    [unchanged, in, Info] = kqxSimulate(scs_m);
    if execstr("kqxSimulateWithEdits(scs_m, Info, blockIndex, [20 2 1])", "errcatch") == 0 then
        error("the simulation went on after Running was edited");
    end
    message = strcat(lasterror(), " ");
    if strindex(message, "Running cannot change during a simulation") == [] then
        error("unexpected failure: " + message);
    end
endfunction

kqxRunTests(["vector_of_channels_running", "frames_running", "frames_stateless", ..
             "running_cannot_change"]);

// kqphasefix2 in an Xcos diagram (clock -> phase source -> block -> sink), simulated headless,
// gives bit for bit what kqhost run gives on the same input, for a vector of channels and for
// frames, running and stateless, with several Tolerances.
here = get_absolute_file_path("unwrap_matches_kqhost.sce");
loadXcosLibs();
loadScicos();
exec(here + "../macros/KQPHASEFIX2.sci", -1);
exec(here + "xcos_test_support.sci", -1);
kqxLinkAdapter();

// One diagram against kqhost: T time steps of C channels, sample based (frameLen 0) or in
// frames of frameLen samples per channel.
function kqxCompareWithKqhost(what, T, C, frameLen, toleranceText, running)
    input = kqxPhaseSignal(T, C);
    inputPath = TMPDIR + "/kqx_input.f64";
    expectedPath = TMPDIR + "/kqx_expected.f64";
    kqxWriteSignal(inputPath, input);
    steps = T / max(frameLen, 1);
    scs_m = kqxDiagram(inputPath, C, frameLen, steps, ..
                       kqxBlockExprs(toleranceText, running, frameLen));
    [out, in] = kqxSimulate(scs_m);
    kqxRunKqhost(inputPath, expectedPath, kqxPortOptions(C, frameLen, toleranceText, running));

    kqxAssertSameBits(what + ", the block''s input", in, inputPath);
    kqxAssertSameBits(what, out, expectedPath);
    // Unless the unwrap changes something, the comparison cannot tell a block that runs from one
    // that does not.
    if and(out == input) then
        error(what + ": the output equals the input; the signal exercises nothing");
    end
endfunction

function vector_of_channels_running()
    kqxCompareWithKqhost("4 channels, running, Tolerance %pi", 240, 4, 0, "%pi", 0);
endfunction

function vector_of_channels_running_large_cutoff()
    // Between 2*pi and 4*pi: only jumps of two turns and more are corrected.
    kqxCompareWithKqhost("4 channels, running, Tolerance -9.5", 240, 4, 0, "-9.5", 0);
endfunction

function vector_of_channels_stateless()
    kqxCompareWithKqhost("4 channels, stateless", 240, 4, 0, "%pi", 1);
endfunction

function single_channel_running()
    kqxCompareWithKqhost("1 channel, running", 200, 1, 0, "2.5", 0);
endfunction

function frames_running()
    kqxCompareWithKqhost("frames of 16 x 3, running", 240, 3, 16, "%pi", 0);
endfunction

function frames_stateless()
    kqxCompareWithKqhost("frames of 16 x 4, stateless", 256, 4, 16, "7", 1);
endfunction

function frames_of_one_sample()
    kqxCompareWithKqhost("frames of 1 x 4, running", 120, 4, 1, "%pi", 0);
endfunction

// A failure at load reaches Scilab as a simulation error with the reason: the engine's when the
// library cannot be loaded, the block's own message when the block refuses its load-time call
// (its file name must be the block's name).
function kqxExpectSimulationFailure(libraryPath, expected)
    inputPath = TMPDIR + "/kqx_input.f64";
    kqxWriteSignal(inputPath, kqxPhaseSignal(10, 2));
    exprs = kqxBlockExprs("%pi", 0, 0);
    exprs(4) = libraryPath;
    scs_m = kqxDiagram(inputPath, 2, 0, 10, exprs);
    if execstr("kqxSimulate(scs_m)", "errcatch") == 0 then
        error(libraryPath + ": the simulation ran");
    end
    message = strcat(lasterror(), " ");
    if strindex(message, expected) == [] then
        error(libraryPath + ": expected """ + expected + """ in: " + message);
    end
endfunction

function missing_library_stops_the_simulation()
    kqxExpectSimulationFailure(TMPDIR + "/missing/kqphasefix2.so", "cannot load block library");
endfunction

function renamed_library_stops_the_simulation_with_the_block_message()
    renamed = TMPDIR + "/renamed.so";
    copyfile(kqxPath("KQ_XCOS_BLOCK"), renamed);
    kqxExpectSimulationFailure(renamed, "R-block name mismatch");
endfunction

kqxRunTests(["vector_of_channels_running", "vector_of_channels_running_large_cutoff", ..
             "vector_of_channels_stateless", "single_channel_running", "frames_running", ..
             "frames_stateless", "frames_of_one_sample", "missing_library_stops_the_simulation", ..
             "renamed_library_stops_the_simulation_with_the_block_message"]);

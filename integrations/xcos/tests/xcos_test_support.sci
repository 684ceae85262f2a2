// What the Xcos tests of kqphasefix2 share: the phase signal, the diagram, the simulations (whole,
// or piecewise with Tolerance edited in between), kqhost, and the comparison bit for bit.
//
// test.sh gives the paths in the environment: KQ_XCOS_ADAPTER (kqphasefix2_xcos.so),
// KQ_XCOS_BLOCK (kqphasefix2.so) and KQ_XCOS_KQHOST (kqhost).

// A test script loads, at its top level (libraries and functions loaded inside a function stay
// local to it):
//   loadXcosLibs(); loadScicos();
//   exec(<this folder> + "../macros/KQPHASEFIX2.sci", -1);
//   exec(<this folder> + "xcos_test_support.sci", -1);
// and then links the adapter with kqxLinkAdapter().

function kqxLinkAdapter()
    link(kqxPath("KQ_XCOS_ADAPTER"), "kqphasefix2_xcos", "c");
endfunction

function path = kqxPath(name)
    path = getenv(name, "");
    if path == "" | ~isfile(path) then
        error(msprintf("%s must name an existing file (test.sh sets it)", name));
    end
endfunction

// T time steps of C channels of phase in radians. Channels take turns among four kinds: a slow
// upward ramp and a fast downward one, both wrapped into [-pi, pi]; a random walk left unwrapped,
// whose jumps of several turns make the cutoff matter (a Tolerance between 2*pi and 4*pi
// corrects only some of them); and steps of exactly +pi, -pi and 2*pi.
function X = kqxPhaseSignal(T, C)
    grand("setsd", 20261207);
    t = (0:T - 1)';
    exactSteps = %pi * [0; 1; 0; -1; 1; -1; -1; 1; 1; 0];
    X = zeros(T, C);
    for c = 1:C
        select modulo(c - 1, 4)
        case 0 then
            X(:, c) = atan(sin(0.7 * c * t + 0.3), cos(0.7 * c * t + 0.3));
        case 1 then
            X(:, c) = atan(sin(-2.9 * t), cos(-2.9 * t));
        case 2 then
            X(:, c) = cumsum(grand(T, 1, "nor", 0, 5));
        case 3 then
            X(:, c) = exactSteps(modulo(t, size(exactSteps, "*")) + 1);
        end
    end
endfunction

// A T x C signal as kqhost reads it: raw little-endian binary64, time-major.
function kqxWriteSignal(path, X)
    fd = mopen(path, "wb");
    mput(matrix(X', -1, 1), "dl", fd);
    mclose(fd);
endfunction

function X = kqxReadSignal(path, C)
    fd = mopen(path, "rb");
    values = mget(fileinfo(path)(1) / 8, "dl", fd);
    mclose(fd);
    X = matrix(values, C, -1)';
endfunction

function bytes = kqxReadBytes(path)
    fd = mopen(path, "rb");
    bytes = mget(fileinfo(path)(1), "uc", fd);
    mclose(fd);
endfunction

// The block's dialog values, as a user types them.
function exprs = kqxBlockExprs(toleranceText, running, frameLen)
    exprs = [toleranceText; string(running); string(frameLen); kqxPath("KQ_XCOS_BLOCK")];
endfunction

// The diagram: clock -> phase source -> kqphasefix2 -> sink "kqxOut", and a second sink "kqxIn"
// on the block's input. The phase source reads the file that kqhost reads: READC_f gives one
// record per activation, a time step of C channels, or for frames N time steps that it reorders
// channel after channel and MATRESH shapes into N x C. The clock ticks at t = 0, 1, 2, ... and
// the simulation ends after `steps` activations. blockIndex is the block's place in scs_m.objs.
function [scs_m, blockIndex] = kqxDiagram(signalPath, C, frameLen, steps, blockExprs)
    clock = SampleCLK("define");
    clock.graphics.exprs = ["1"; "0"];
    if frameLen == 0 then
        recordSize = C;
        selection = 1:C;
    else
        recordSize = frameLen * C;
        [t, c] = ndgrid(0:frameLen - 1, 0:C - 1);
        selection = (t(:) * C + c(:) + 1)';
    end
    source = READC_f("define");
    source.graphics.exprs = ["[]"; sci2exp(selection); signalPath; "dl"; string(recordSize);
                             "64"; "1"; "0"];
    block = KQPHASEFIX2("define");
    block.graphics.exprs = blockExprs;
    outSink = TOWS_c("define");
    outSink.graphics.exprs = [string(steps); "kqxOut"; "0"];
    inSink = TOWS_c("define");
    inSink.graphics.exprs = [string(steps); "kqxIn"; "0"];

    scs_m = scicos_diagram();
    scs_m.props.tf = steps - 0.5;
    objs = list(clock, source, block, outSink, inSink, SPLIT_f("define"), ..
                CLKSPLIT_f("define"), CLKSPLIT_f("define"), CLKSPLIT_f("define"));
    [CLOCK, SOURCE, BLOCK, OUT_SINK, IN_SINK, SPLIT, TICK1, TICK2, TICK3] = (1, 2, 3, 4, 5, 6, 7, 8, 9);
    shaped = SOURCE;
    if frameLen > 0 then
        reshape = MATRESH("define");
        reshape.graphics.exprs = ["1"; sci2exp([recordSize 1]); sci2exp([frameLen C])];
        objs($ + 1) = reshape;
        shaped = size(objs);
    end
    for k = 1:size(objs)
        scs_m.objs(k) = objs(k);
    end
    links = list(..
        kqxLink([CLOCK 1], [TICK1 1], "event"), ..
        kqxLink([TICK1 1], [SOURCE 1], "event"), ..
        kqxLink([TICK1 2], [TICK2 1], "event"), ..
        kqxLink([TICK2 1], [BLOCK 1], "event"), ..
        kqxLink([TICK2 2], [TICK3 1], "event"), ..
        kqxLink([TICK3 1], [OUT_SINK 1], "event"), ..
        kqxLink([TICK3 2], [IN_SINK 1], "event"), ..
        kqxLink([shaped 1], [SPLIT 1], "data"), ..
        kqxLink([SPLIT 1], [BLOCK 1], "data"), ..
        kqxLink([SPLIT 2], [IN_SINK 1], "data"), ..
        kqxLink([BLOCK 1], [OUT_SINK 1], "data"));
    if frameLen > 0 then
        links($ + 1) = kqxLink([SOURCE 1], [shaped 1], "data");
    end
    for k = 1:size(links)
        scs_m.objs(size(objs) + k) = links(k);
    end
    blockIndex = BLOCK;
endfunction

function lnk = kqxLink(from, to, kind)
    if kind == "event" then
        lnk = scicos_link(from=[from 0], to=[to 1], ct=[5 -1]);
    else
        lnk = scicos_link(from=[from 0], to=[to 1], ct=[1 1]);
    end
endfunction

// What a sink collected, as a T x C time-major matrix: vectors arrive one row per activation,
// frames as an N x C x steps hypermatrix.
function X = kqxTimeMajor(values)
    if ndims(values) == 3 then
        [N, C, steps] = size(values);
        X = matrix(permute(values, [1 3 2]), N * steps, C);
    else
        X = values;
    end
endfunction

// The whole simulation, headless. Returns the block's output and input, and scicos_simulate's
// Info (the compiled diagram and its initial state).
function [out, in, Info] = kqxSimulate(scs_m)
    Info = scicos_simulate(scs_m, list(), "nw");
    out = kqxTimeMajor(kqxOut.values);
    in = kqxTimeMajor(kqxIn.values);
endfunction

// The compiled diagram of Info run again from its start, paused before each activation listed in
// `edits` (rows [step, dialog row, value]; row 1 is Tolerance, row 2 Running) for the block's
// dialog to be edited, as Xcos continues a paused simulation after a parameter edit: the
// interfacing function turns the dialog into rpar, which goes into the compiled diagram, and the
// run goes on. Returns the block's output.
function out = kqxSimulateWithEdits(scs_m, Info, blockIndex, edits)
    cpr = Info(2);
    state = Info(6);
    sim = cpr.sim;
    tolerances = scs_m.props.tol;
    tf = scs_m.props.tf;
    compiled = cpr.cor(blockIndex);
    block = scs_m.objs(blockIndex);

    [state, t] = scicosim(state, 0, tf, sim, "start", tolerances);
    for k = 1:size(edits, "r")
        [state, t] = scicosim(state, t, edits(k, 1) - 0.5, sim, "run", tolerances);
        exprs = block.graphics.exprs;
        exprs(edits(k, 2)) = msprintf("%.17g", edits(k, 3));
        block = kqxSetWithoutDialog(block, exprs);
        sim.rpar(sim.rpptr(compiled):sim.rpptr(compiled + 1) - 1) = block.model.rpar;
    end
    [state, t] = scicosim(state, t, tf, sim, "run", tolerances);
    [state, t] = scicosim(state, tf, tf, sim, "finish", tolerances);
    // TOWS_c leaves what it collected in <name>_val and <name>_valt when the simulation
    // finishes; matrices come flattened, and are shaped as scicos_simulate shapes them.
    out = kqxOut_val;
    steps = size(kqxOut_valt, "r");
    if size(out, "r") > steps then
        out = matrix(out, size(out, "c"), size(out, "r") / steps, steps);
    end
    out = kqxTimeMajor(out);
endfunction

// The block's "set" on new dialog values without a dialog, the way Xcos re-evaluates a diagram:
// a value the interfacing function refuses raises an error with its message.
function o = kqxSetWithoutDialog(o, exprs)
    protection = funcprot();
    funcprot(0);
    getvalue = setvalue;
    scicos_getvalue = setvalue;
    global %scicos_prob kqxRefusal;
    %scicos_prob = %f;
    kqxRefusal = [];
    %scicos_context = struct();
    // As in Xcos's evaluation, a refusal ends the dialog's loop instead of asking again.
    function message(text)
        global kqxRefusal;
        kqxRefusal = text;
        %scicos_prob = resume(%t);
    endfunction
    funcprot(protection);
    o.graphics.exprs = exprs;
    o = KQPHASEFIX2("set", o);
    if kqxRefusal <> [] then
        error("the interfacing function refused [" + strcat(exprs, "; ") + "]: " + ..
              strcat(kqxRefusal, " "));
    end
endfunction

// kqhost run on the same signal file; `options` are kqhost's words after "run".
function kqxRunKqhost(inputPath, outputPath, options)
    command = kqxQuote(kqxPath("KQ_XCOS_KQHOST")) + " run --block " + ..
              kqxQuote(kqxPath("KQ_XCOS_BLOCK")) + " " + options + " " + ..
              kqxQuote(inputPath) + " " + kqxQuote(outputPath);
    [output, status, messages] = unix_g(command);
    if status <> 0 then
        error("kqhost failed: " + command + ": " + strcat(messages, " "));
    end
endfunction

function quoted = kqxQuote(text)
    quoted = "''" + strsubst(text, "''", "''\''''") + "''";
endfunction

// kqhost's options for the diagram's port: a column of C channels, or N x C frames.
function options = kqxPortOptions(C, frameLen, toleranceText, running)
    options = "--channels " + string(C);
    if frameLen == 0 then
        options = options + " --shape column";
    else
        options = options + " --frame " + string(frameLen);
    end
    modes = ["running", "stateless"];
    options = options + " --tolerance " + msprintf("%.17g", evstr(toleranceText)) + ..
              " --mode " + modes(bool2s(running <> 0) + 1);
endfunction

// Fails unless `actual` (T x C, time-major) has exactly the bits of the binary64 file at
// expectedPath, naming the first value that differs.
function kqxAssertSameBits(what, actual, expectedPath)
    actualPath = TMPDIR + "/kqx_actual.f64";
    kqxWriteSignal(actualPath, actual);
    a = kqxReadBytes(actualPath);
    e = kqxReadBytes(expectedPath);
    if size(a, "*") <> size(e, "*") then
        error(msprintf("%s: %d values against %d", what, size(a, "*") / 8, size(e, "*") / 8));
    end
    differingBytes = find(a <> e);
    if differingBytes <> [] then
        differing = unique(floor((differingBytes - 1) / 8));
        C = size(actual, 2);
        expected = kqxReadSignal(expectedPath, C);
        step = floor(differing(1) / C);
        channel = modulo(differing(1), C);
        error(msprintf("%s: %d of %d values differ, the first at time step %d, channel %d: " + ..
                       "%.17g against %.17g", what, size(differing, "*"), size(actual, "*"), ..
                       step, channel, actual(step + 1, channel + 1), ..
                       expected(step + 1, channel + 1)));
    end
endfunction

// Runs the named test functions; each fails by raising an error. Exits 1 when any failed.
function kqxRunTests(names)
    failed = 0;
    for name = names
        if execstr(name + "()", "errcatch") == 0 then
            mprintf("PASS %s\n", name);
        else
            failed = failed + 1;
            mprintf("FAIL %s: %s\n", name, strcat(lasterror(), " "));
        end
    end
    mprintf("%d of %d passed\n", size(names, "*") - failed, size(names, "*"));
    exit(bool2s(failed > 0));
endfunction

// Interfacing function of the kqphasefix2 phase-unwrap block for Xcos.
//
// Dialog:
//   Tolerance      its magnitude is the cutoff in radians (default %pi); may change while a
//                  simulation is paused, and the block sees the change at its next activation
//   Running        0: the unwrap carries on from one activation to the next; any other value:
//                  every activation is unwrapped on its own
//   Frame length   0: the input is a column vector of C channels, one sample each;
//                  N > 0: the input is an N x C frame, N samples of every channel (one per column)
//   Block library  path of kqphasefix2.so
//
// The model keeps rpar = [Tolerance; Running] and ipar = [N; length(path); ascii(path)'], which
// the computational function kqphasefix2_xcos (integrations/xcos/src) reads. The output has the
// input's size. The block runs once per activation of its event input.
function [x, y, typ] = KQPHASEFIX2(job, arg1, arg2)
    x = [];
    y = [];
    typ = [];
    select job
    case "set" then
        x = arg1;
        graphics = arg1.graphics;
        model = arg1.model;
        exprs = graphics.exprs;
        while %t do
            [ok, tolerance, running, frameLen, library, exprs] = scicos_getvalue( ..
            "Set kqphasefix2 parameters", ..
            ["Tolerance (its magnitude is the cutoff, in radians)";
             "Running (0: carry the unwrap across activations; other: each on its own)";
             "Frame length N (0: a vector of channels; N: N samples per channel)";
             "Block library"], ..
            list("vec", 1, "vec", 1, "vec", 1, "str", 1), exprs);
            if ~ok then
                break
            end
            if ~isreal(tolerance) | ~isreal(running) then
                message("Tolerance and Running must be real.");
                ok = %f;
            elseif frameLen < 0 | frameLen <> floor(frameLen) then
                message("Frame length must be 0 or a positive whole number.");
                ok = %f;
            elseif length(library) == 0 then
                message("Block library must name the kqphasefix2 library.");
                ok = %f;
            end
            if ok then
                [model, graphics, ok] = set_io(model, graphics, ..
                list(kqphasefix2PortSize(frameLen), 1), ..
                list(kqphasefix2PortSize(frameLen), 1), 1, []);
            end
            if ok then
                model.rpar = [tolerance; running];
                model.ipar = [frameLen; length(library); ascii(library)'];
                graphics.exprs = exprs;
                x.graphics = graphics;
                x.model = model;
                break
            end
        end

    case "define" then
        tolerance = %pi;
        running = 0;
        frameLen = 0;
        library = "kqphasefix2.so";

        model = scicos_model();
        model.sim = list("kqphasefix2_xcos", 4);
        size_ = kqphasefix2PortSize(frameLen);
        model.in = size_(1);
        model.in2 = size_(2);
        model.intyp = 1;
        model.out = size_(1);
        model.out2 = size_(2);
        model.outtyp = 1;
        model.evtin = 1;
        model.rpar = [tolerance; running];
        model.ipar = [frameLen; length(library); ascii(library)'];
        model.blocktype = "d";
        model.dep_ut = [%t %f];
        exprs = ["%pi"; string(running); string(frameLen); library];
        x = standard_define([3 2], model, exprs, []);
    end
endfunction

// The port's [rows columns]: C x 1 channels, or N x C frames; negative sizes are left to the
// diagram, and the same negative size on input and output makes them equal.
function size_ = kqphasefix2PortSize(frameLen)
    if frameLen == 0 then
        size_ = [-1 1];
    else
        size_ = [frameLen -2];
    end
endfunction

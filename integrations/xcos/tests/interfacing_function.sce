// The block's interfacing function: what it stores in the scicos model for the computational
// function, and the dialog values it refuses.
here = get_absolute_file_path("interfacing_function.sce");
loadXcosLibs();
loadScicos();
exec(here + "../macros/KQPHASEFIX2.sci", -1);
exec(here + "xcos_test_support.sci", -1);

// rows: Tolerance, Running, Frame length, then the expected rpar', ipar(1), in, in2.
function model_follows_the_dialog()
    cases = list( ..
        list(["%pi"; "0"; "0"; "/lib/kqphasefix2.so"], [%pi 0], 0, -1, 1), ..
        list(["-2.5"; "1"; "16"; "k.so"], [-2.5 1], 16, 16, -2), ..
        list(["1e-300"; "-0.5"; "1"; "k.so"], [1e-300 -0.5], 1, 1, -2));
    for k = 1:size(cases)
        [exprs, rpar, frameLen, rows, columns] = cases(k)(:);
        o = kqxSetWithoutDialog(KQPHASEFIX2("define"), exprs);
        m = o.model;
        library = exprs(4);
        if or(m.rpar' <> rpar) | or(m.ipar' <> [frameLen, length(library), ascii(library)]) then
            error(msprintf("[%s]: rpar %s, ipar %s", strcat(exprs, "; "), sci2exp(m.rpar), ..
                           sci2exp(m.ipar)));
        end
        if or([m.in m.in2 m.out m.out2] <> [rows columns rows columns]) | ..
           m.intyp <> 1 | m.outtyp <> 1 then
            error(msprintf("[%s]: ports %s", strcat(exprs, "; "), ..
                           sci2exp([m.in m.in2 m.out m.out2 m.intyp m.outtyp])));
        end
    end
endfunction

function dialog_refuses_invalid_values()
    refused = list( ..
        ["%i"; "0"; "0"; "k.so"], ..
        ["%pi"; "%i"; "0"; "k.so"], ..
        ["%pi"; "0"; "-1"; "k.so"], ..
        ["%pi"; "0"; "2.5"; "k.so"], ..
        ["%pi"; "0"; "0"; ""]);
    for k = 1:size(refused)
        if execstr("kqxSetWithoutDialog(KQPHASEFIX2(""define""), refused(k))", "errcatch") == 0 then
            error("accepted [" + strcat(refused(k), "; ") + "]");
        end
        if strindex(strcat(lasterror(), " "), "refused") == [] then
            error("[" + strcat(refused(k), "; ") + "]: " + strcat(lasterror(), " "));
        end
    end
endfunction

kqxRunTests(["model_follows_the_dialog", "dialog_refuses_invalid_values"]);

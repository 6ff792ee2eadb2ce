// The engine benchmark in the Windows build: the program's own transfer path (FileDownload,
// with or without a progress page) and experimental variants of it, for finding where the
// time goes under Wine.
#pragma once

// Options, each "name=value":
//   engine=program   FileDownload itself, writing into the output file's folder (default)
//   engine=sink      the benchmark's own HttpRequest subclass, with the options below
//   page=none|send   no page (default), or the real progress page (dialog 102) on the main
//                    thread: FileDownload posts the bar's positions to it (at most one per
//                    hundredth of the file or 50 ms); the sink sends PBM_GETPOS and
//                    PBM_SETPOS for every block, as the program once did
//   page=idle        (sink) the page shown, but never updated
//   page=roundtrip   (sink) PBM_GETPOS sent, nothing set: the cost of the round trips alone
//   page=post        (sink) PBM_SETPOS posted with a position the transfer thread counts
//   page=coarse      (sink) PBM_SETPOS sent only when the bar moves by 1/512 of its range
//   page=timer       (sink) the page's own 100 ms timer moves the bar to the bytes written
//   write=fwrite     (sink) one fwrite per block to a buffered "wb" stream (default)
//   write=writefile  (sink) one WriteFile per block
//   write=none       (sink) nothing written
//   receive=N        (sink) a receive loop of the benchmark's own with N-byte receives instead
//                    of the engine's (16 KiB for the header block, then 256 KiB)
// Prints the report line of win_measure.h; exit status 0 when the transfer succeeded.
int RunEngineVariant(const char* url, const char* output, int option_count, char** options);

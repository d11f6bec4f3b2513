#pragma once
// The library's entries, called by the host that loads it.
#ifdef __cplusplus
extern "C" {
#endif

// Prepares the library (and a Qt application object when the host has none). Returns 1.
int Zuno_Fwd_c_libInitialize(void);
// Closes what is still open and releases the library's state.
void Zuno_Fwd_c_libTerminate(void);
// Starts the application: splash, records, windows; returns with the main window shown.
void Zuno_Fwd_c(void);
// Opens a parameter file in the started application as File > Open does (a relative name from
// the working directory); a file it cannot open is reported in the error box. Returns 1 when
// the file was opened, 0 otherwise.
int Zuno_Fwd_c_openFile(const char* filename);

#ifdef __cplusplus
}
#endif

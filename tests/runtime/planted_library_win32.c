/* A DLL that the build puts beside the runtime tests' program and nowhere
   else: the stand-in for one planted in the program's folder. */
__declspec(dllexport) int ZorvPlanted(void) { return 1; }

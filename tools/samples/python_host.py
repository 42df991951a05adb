"""A Python host: the plain C entry points through ctypes, wide strings.

Run it with a Windows Python of the DLL's architecture (the win32 package
for a 32-bit Python, win64 for a 64-bit one):

    py python_host.py [FOLDER NAME]

It launches the project given (the sample project C:\\work\\bridge, deck, by
default), brings it forward when it is already open, and prints what the
launch did.
"""
import ctypes
import os
import sys

HVQ_NO_MESSAGE, HVQ_ACTIVATE = 1, 2
OUTCOMES = {0: "opened", 1: "already open", 2: "opening", -2: "out of memory"}

here = os.path.dirname(os.path.abspath(__file__))
dll = ctypes.WinDLL(os.path.join(here, "..", "..", "..", "bin", "hvqlaunch.dll"),
                    use_last_error=True)
dll.HvqStartVRAN3DExW.argtypes = [ctypes.c_wchar_p, ctypes.c_wchar_p, ctypes.c_uint]
dll.HvqStartVRAN3DExW.restype = ctypes.c_int

folder, name = sys.argv[1:3] if len(sys.argv) == 3 else ("C:\\work\\bridge", "deck")
result = dll.HvqStartVRAN3DExW(folder, name, HVQ_ACTIVATE)
if result in OUTCOMES:
    print(OUTCOMES[result])
else:  # -1, HVQ_E_OPEN_FAILED
    print("open failed:", ctypes.FormatError(ctypes.get_last_error()).strip())
sys.exit(0 if result >= 0 else 1)

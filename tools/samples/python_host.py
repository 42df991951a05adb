"""A Python host: the plain C entry points through ctypes, wide strings.

Run it with a Windows Python of the DLL's architecture (the win32 package
for a 32-bit Python, win64 for a 64-bit one):

    py python_host.py [FOLDER NAME]
"""
import ctypes
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
dll = ctypes.WinDLL(os.path.join(here, "..", "..", "..", "bin", "hvqlaunch.dll"))
dll.HvqCheckPrjOpenedW.argtypes = [ctypes.c_wchar_p]
dll.HvqCheckPrjOpenedW.restype = ctypes.c_int
dll.HvqStartVRAN3DW.argtypes = [ctypes.c_wchar_p, ctypes.c_wchar_p]
dll.HvqStartVRAN3DW.restype = None

folder, name = sys.argv[1:3] if len(sys.argv) == 3 else ("C:\\work\\bridge", "deck")
print("already open:", "yes" if dll.HvqCheckPrjOpenedW(name) else "no")
dll.HvqStartVRAN3DW(folder, name)

"""Runs one integration suite; fails when no test ran."""
import sys
import unittest

if __name__ == "__main__":
    program = unittest.main(module=sys.argv[1], argv=[sys.argv[0], "-v"],
                            exit=False)
    result = program.result
    if result.testsRun == 0:
        print("no test ran")
        sys.exit(1)
    sys.exit(0 if result.wasSuccessful() else 1)

"""The one way the partner tool says no: a bad argument or input, found before anything is
written; the tool ends with exit code 2 and the message, which names the file and the fix."""


class Refused(Exception):
    pass

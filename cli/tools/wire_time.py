"""Shared by the measuring scripts: the simulator's traffic trace, and a
span of it against the time its bytes need on the wire.

"wire" is every byte of the span one after the other. The line is full
duplex, so the span can be a little shorter than that sum. "busy" is the
time at least one direction of the line carried a byte; the span can never
be shorter, so took/busy >= 1 and its excess is the time the line stood
idle waiting for the program or the simulator."""
import statistics


def read_trace(path):
    """The traffic records: (time, direction, bytes, text)."""
    rows = []
    for line in open(path):
        parts = line.rstrip("\n").split(" ", 3)
        if len(parts) < 3 or parts[1] not in "<>":
            continue  # not a traffic line
        t, d, n = float(parts[0]), parts[1], int(parts[2])
        text = parts[3] if len(parts) > 3 else ""
        rows.append((t, d, n, text.replace("\\r", "\r").replace("\\n", "\n")))
    return rows


def get_local_span(rows):
    """The span of a read in the trace: from the radio's first "OK" to the
    "ATH" that ends the read (the last one, as the connect hangs up a link an
    earlier run may have left); None when the trace lacks either."""
    tx = rx = ""
    t0 = t1 = None
    for t, d, n, text in rows:
        if d == "<":
            tx += text
            if t0 is None and "OK\r\n" in tx:
                t0 = t
        else:
            before = rx.count("ATH\r")
            rx += text
            if t0 is not None and rx.count("ATH\r") > before:
                t1 = t
    if t0 is None or t1 is None:
        return None
    return t0, t1


def report(rows, t0, t1, baud):
    """One result line for the span (t0, t1]."""
    per = 10.0 / baud
    # A record's time is when its last byte had passed; its bytes occupied
    # the line for n byte times before that.
    span = [(t, d, n) for t, d, n, _ in rows if t0 < t <= t1]
    sent = sum(n for t, d, n in span if d == "<")
    received = sum(n for t, d, n in span if d == ">")
    wire = (sent + received) * per
    busy, end = 0.0, t0
    for a, b in sorted((max(t - n * per, t0), t) for t, d, n in span):
        if b > end:
            busy += b - max(a, end)
            end = b
    took = t1 - t0
    return (f"{took*1000:8.1f} ms  wire {wire*1000:8.1f} ms  ratio {took/wire:.3f}"
            f"  busy {busy*1000:8.1f} ms  ratio {took/busy:.3f}  ({received} bytes in, {sent} out)")


def medians(path):
    """The median line of the result lines in path."""
    rows = [line.split() for line in open(path)]
    med = lambda i: statistics.median(float(r[i]) for r in rows)
    return (f"median of {len(rows)}: {med(0):.1f} ms, wire {med(3):.1f} ms, ratio {med(6):.3f}; "
            f"busy {med(8):.1f} ms, ratio {med(11):.3f}")

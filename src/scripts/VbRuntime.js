// The runtime of translated VBScript. Evaluated once per engine before any block; every name it
// leaves in the global scope holds a '$', which no XPath function name can, so none of them is
// taken for a script function.
//
// Variants: Empty is undefined, Null is $NULL, Nothing is null, Boolean and String are JavaScript's
// own, and a number is plain when its value alone tells its subtype (a whole number in Integer
// range is an Integer, in Long range a Long, anything else a Double). Every other number is a
// $Num box: a whole Double, a small Long, Byte, Single, Currency and Date.

// The global object's own members are looked up by text on every use too; these copies are the
// closure's, found directly.
var Math = this.Math, Array = this.Array, Object = this.Object, String = this.String, Number = this.Number,
    Boolean = this.Boolean, Date = this.Date, RegExp = this.RegExp, Map = this.Map, Error = this.Error,
    TypeError = this.TypeError, RangeError = this.RangeError, isNaN = this.isNaN, isFinite = this.isFinite,
    parseInt = this.parseInt, undefined = void 0, Infinity = 1 / 0;

// typeof's answers as the engine makes them: comparing with these is a pointer comparison, with a
// literal a text comparison.
// One name a line: only the first name of a line is exported.
var $NUMBER = typeof 0;
var $STRING = typeof '';
var $BOOLEAN = typeof true;
var $UNDEFINED = typeof undefined;
var $OBJECT = typeof {};
var $FUNCTION = typeof $Num;

function $Num(t, v) { this.t = t; this.v = v; }
$Num.prototype.valueOf = function () { return this.v; };
$Num.prototype.toString = function () { return $str(this); };

var $NULL = Object.freeze(Object.create(null));
var $procs = {};
var $vbhost = this.$host;
var $global = this;
// Not named: a function that names eval has every name looked up by text.
var $globaleval = this.eval;

var $messages = {
    5: 'Invalid procedure call or argument', 6: 'Overflow', 7: 'Out of memory', 9: 'Subscript out of range',
    10: 'This array is fixed or temporarily locked', 11: 'Division by zero', 13: 'Type mismatch',
    28: 'Out of stack space', 35: 'Sub or Function not defined', 70: 'Permission denied', 92: 'For loop not initialized',
    94: 'Invalid use of Null', 424: 'Object required', 429: "ActiveX component can't create object",
    438: "Object doesn't support this property or method", 450: 'Wrong number of arguments or invalid property assignment',
    451: 'Object not a collection', 457: 'This key is already associated with an element of this collection',
    500: 'Variable is undefined', 501: 'Illegal assignment', 505: 'Invalid or unqualified reference',
    506: 'Class not defined', 1002: 'Syntax error', 5017: 'Syntax error in regular expression',
    32811: 'Element not found'
};

// The line of translated code that is running: the first frame of the stack outside this file.
function $where(e) {
    var stack = String(e && e.stack || new Error().stack).split('\n');
    for (var i = 0; i < stack.length; ++i) {
        var m = /@(.*):(\d+)(?::\d+)?$/.exec(stack[i]);
        if (m && m[1].indexOf('vbscript-runtime') < 0)
            return { file: m[1].replace(/^file:(\/\/)?/, ''), line: Number(m[2]) };
    }
    return null;
}

function $vberror(number, description, source, cause) {
    var e = new Error(description);
    e.vbNumber = number;
    e.vbDescription = description;
    e.vbSource = source === undefined ? 'VBScript runtime error' : source;
    e.toString = function () { return 'VBScript runtime error ' + this.vbNumber + ': ' + this.vbDescription; };
    var at = $where(cause || e);
    if (at) {
        e.lineNumber = at.line;
        e.fileName = at.file;
    }
    return e;
}

function $throw(number, detail) {
    var text = $messages[number] || 'Unknown runtime error';
    throw $vberror(number, detail === undefined ? text : text + ": '" + detail + "'");
}

function $undef(name) { $throw(500, name); }
function $nofunction(name) { $throw(13, name); }

// A script failure of any kind as VBScript sees it: number and description.
function $asvb(e) {
    if (e && e.vbNumber !== undefined)
        return e;
    var text = String(e && e.message !== undefined ? e.message : e);
    var number = 5;
    if (e instanceof RangeError && /call stack|recursion/i.test(text))
        number = 28;
    else if (e instanceof TypeError)
        number = /null|undefined/.test(text) ? 424 : 438;
    else if (e instanceof ReferenceError)
        number = 500;
    return $vberror(number, number !== 5 ? $messages[number] : text, undefined, e instanceof Error ? e : undefined);
}

var $err = {
    number: 0, description: '', source: '', helpfile: '', helpcontext: 0, $vb: true,
    clear: function () { this.number = 0; this.description = ''; this.source = ''; },
    raise: function (number, source, description) {
        var n = $lng(number);
        var text = description === undefined ? ($messages[n] || 'Unknown runtime error') : $str(description);
        throw $vberror(n, text, source === undefined ? undefined : $str(source));
    },
    $value: function () { return this.number; }
};

function $onerror(e, resume) {
    if (!resume)
        throw e;
    if (e instanceof $Interrupted)
        throw e;
    var v = $asvb(e);
    $err.number = v.vbNumber;
    $err.description = v.vbDescription;
    $err.source = v.vbSource;
}
function $Interrupted() {}

// Numbers and subtypes

function $type(v) {
    switch (typeof v) {
    case $NUMBER:
        // Bit operations and arithmetic stay in compiled code; Math and isFinite are calls.
        if ((v | 0) !== v)
            return 5;
        return v >= -32768 && v <= 32767 ? 2 : 3;
    case $STRING: return 8;
    case $BOOLEAN: return 11;
    case $UNDEFINED: return 0;
    }
    if (v === $NULL) return 1;
    if (v instanceof $Num) return v.t;
    if ((v instanceof Array)) return 8204;
    return 9;
}

// A number of subtype t, widened when it does not fit, as VBScript widens instead of overflowing.
function $fix(t, r) {
    switch (t) {
    case 17:
        if (r >= 0 && r <= 255) return new $Num(17, r);
        // falls through
    case 2:
        if (r >= -32768 && r <= 32767) return r;
        // falls through
    case 3:
        if (r >= -2147483648 && r <= 2147483647) return r >= -32768 && r <= 32767 ? new $Num(3, r) : r;
        // falls through
    case 5:
        if (r - r !== 0) $throw(6);
        return (r | 0) === r ? new $Num(5, r) : r;
    case 4:
        r = Math.fround(r);
        if (r - r !== 0) $throw(6);
        return new $Num(4, r);
    case 6:
        r = $bankers(r * 10000) / 10000;
        if (Math.abs(r) > 922337203685477.5807) $throw(6);
        return new $Num(6, r);
    case 7:
        if (!(r > -657435 && r < 2958466)) $throw(6);
        return new $Num(7, r);
    }
    return r;
}

function $dbl(x) { return $fix(5, x); }

function $bankers(x) {
    var f = Math.floor(x);
    var d = x - f;
    if (Math.abs(d - 0.5) < 1e-11 * Math.max(1, Math.abs(x)))
        return f % 2 === 0 ? f : f + 1;
    return Math.round(x);
}

function $dv(o) {
    if (o !== null && (typeof o === $OBJECT || typeof o === $FUNCTION) && o !== $NULL && !(o instanceof $Num) && !(o instanceof Array)) {
        if (typeof o.$value === $FUNCTION) return o.$value();
        $throw(438);
    }
    return o;
}

// The number in a value for arithmetic; a string must read as a number or a date.
function $n(v) {
    switch (typeof v) {
    case $NUMBER: return v;
    case $UNDEFINED: return 0;
    case $BOOLEAN: return v ? -1 : 0;
    case $STRING: {
        var x = $parsenum(v);
        if (x !== null) return x;
        var d = $parsedate(v, false);
        if (d !== null) return d;
        $throw(13);
    }
    }
    if (v instanceof $Num) return v.v;
    if (v === $NULL) $throw(94);
    if (v === null) $throw(424);
    if ((v instanceof Array)) $throw(13);
    return $n($dv(v));
}

// Operand subtypes as arithmetic sees them: strings count as Double, Boolean and Empty as Integer.
function $ntype(v) {
    var t = $type(v);
    if (t === 8) { $n(v); return 5; }
    if (t === 11 || t === 0) return 2;
    if (t === 9) return $ntype($dv(v));
    return t;
}

function $rank(t) { return t === 17 ? 1 : t === 2 ? 2 : t === 3 ? 3 : t === 4 ? 4 : 5; }

function $arithtype(a, b) {
    var ta = $ntype(a), tb = $ntype(b);
    if (ta === 7 || tb === 7) return 7;
    if (ta === 6 || tb === 6)
        return ta === 4 || ta === 5 || tb === 4 || tb === 5 ? 5 : 6;
    if ((ta === 4 && tb === 3) || (ta === 3 && tb === 4)) return 5;
    if (ta === tb) return ta;
    return $rank(ta) > $rank(tb) ? ta : tb;
}

function $plain(a, b) { return typeof a === $NUMBER && typeof b === $NUMBER; }

// Two plain numbers: Integer and Long when both are whole, which widen as their sum needs.
function $whole(a, b, r) {
    if ((a | 0) === a && (b | 0) === b) {
        if (a >= -32768 && a <= 32767 && b >= -32768 && b <= 32767) return r;
        return r >= -32768 && r <= 32767 ? new $Num(3, r) : r;
    }
    if (r !== r || r === Infinity || r === -Infinity) $throw(6);
    return (r | 0) === r ? new $Num(5, r) : r;
}

function $add(a, b) {
    if (typeof a === $NUMBER && typeof b === $NUMBER) return $whole(a, b, a + b);
    if (typeof a === $STRING && typeof b === $STRING) return a + b;
    if (a === $NULL || b === $NULL) return $NULL;
    if (a === undefined && typeof b === $STRING) return b;
    if (b === undefined && typeof a === $STRING) return a;
    if (a === undefined && b === undefined) return 0;
    return $fix($arithtype(a, b), $n(a) + $n(b));
}

function $sub(a, b) {
    if (typeof a === $NUMBER && typeof b === $NUMBER) return $whole(a, b, a - b);
    if (a === $NULL || b === $NULL) return $NULL;
    var t = $arithtype(a, b);
    if (t === 7 && $type(a) === 7 && $type(b) === 7) t = 5;
    return $fix(t, $n(a) - $n(b));
}

function $mul(a, b) {
    if (typeof a === $NUMBER && typeof b === $NUMBER) return $whole(a, b, a * b);
    if (a === $NULL || b === $NULL) return $NULL;
    var t = $arithtype(a, b);
    return $fix(t === 7 ? 5 : t, $n(a) * $n(b));
}

function $div(a, b) {
    if (a === $NULL || b === $NULL) return $NULL;
    var x = $n(a), y = $n(b);
    if (y === 0) $throw(x === 0 ? 6 : 11);
    return $fix(5, x / y);
}

function $intop(a, b) {
    var ta = $ntype(a), tb = $ntype(b);
    return (ta === 2 || ta === 17) && (tb === 2 || tb === 17) ? 2 : 3;
}

function $idiv(a, b) {
    if (a === $NULL || b === $NULL) return $NULL;
    var x = $lng(a), y = $lng(b);
    if (y === 0) $throw(11);
    return $fix($intop(a, b), Math.trunc(x / y));
}

function $mod(a, b) {
    if (a === $NULL || b === $NULL) return $NULL;
    var x = $lng(a), y = $lng(b);
    if (y === 0) $throw(11);
    return $fix($intop(a, b), x % y);
}

function $pow(a, b) {
    if (a === $NULL || b === $NULL) return $NULL;
    var r = Math.pow($n(a), $n(b));
    if (isNaN(r)) $throw(5);
    return $fix(5, r);
}

function $neg(a) {
    if (typeof a === $NUMBER) return $fix($type(a), -a);
    if (a === $NULL) return $NULL;
    return $fix($ntype(a), -$n(a));
}

function $pos(a) { return a; }

function $cat(a, b) {
    if (typeof a === $STRING && typeof b === $STRING) return a + b;
    if (a === $NULL && b === $NULL) return $NULL;
    return (a === $NULL ? '' : $str(a)) + (b === $NULL ? '' : $str(b));
}

// Comparison: -1, 0, 1, or null when either side is Null. A number is less than any string.
function $cmp(a, b, text) {
    if (typeof a === $NUMBER && typeof b === $NUMBER) return a < b ? -1 : a > b ? 1 : 0;
    if (typeof a === $STRING && typeof b === $STRING) {
        if (text) { a = a.toLowerCase(); b = b.toLowerCase(); }
        return a < b ? -1 : a > b ? 1 : 0;
    }
    if (a === $NULL || b === $NULL) return null;
    if (a !== null && (typeof a === $OBJECT || typeof a === $FUNCTION) && !(a instanceof $Num)) a = $dv(a);
    if (b !== null && (typeof b === $OBJECT || typeof b === $FUNCTION) && !(b instanceof $Num)) b = $dv(b);
    if (a === undefined) a = typeof b === $STRING ? '' : 0;
    if (b === undefined) b = typeof a === $STRING ? '' : 0;
    var sa = typeof a === $STRING, sb = typeof b === $STRING;
    if (sa && sb) return $cmp(a, b, text);
    if (sa) return 1;
    if (sb) return -1;
    var x = $n(a), y = $n(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

function $eq(a, b) { var c = $cmp(a, b); return c === null ? $NULL : c === 0; }
function $ne(a, b) { var c = $cmp(a, b); return c === null ? $NULL : c !== 0; }
function $lt(a, b) { var c = $cmp(a, b); return c === null ? $NULL : c < 0; }
function $gt(a, b) { var c = $cmp(a, b); return c === null ? $NULL : c > 0; }
function $le(a, b) { var c = $cmp(a, b); return c === null ? $NULL : c <= 0; }
function $ge(a, b) { var c = $cmp(a, b); return c === null ? $NULL : c >= 0; }

// Comparisons as conditions: true or false, Null counting as false.
function $ceq(a, b) { if (typeof a === $NUMBER && typeof b === $NUMBER) return a === b; return $cmp(a, b) === 0; }
function $cne(a, b) { if (typeof a === $NUMBER && typeof b === $NUMBER) return a !== b; var c = $cmp(a, b); return c !== null && c !== 0; }
function $clt(a, b) { if (typeof a === $NUMBER && typeof b === $NUMBER) return a < b; var c = $cmp(a, b); return c !== null && c < 0; }
function $cgt(a, b) { if (typeof a === $NUMBER && typeof b === $NUMBER) return a > b; var c = $cmp(a, b); return c !== null && c > 0; }
function $cle(a, b) { if (typeof a === $NUMBER && typeof b === $NUMBER) return a <= b; var c = $cmp(a, b); return c !== null && c <= 0; }
function $cge(a, b) { if (typeof a === $NUMBER && typeof b === $NUMBER) return a >= b; var c = $cmp(a, b); return c !== null && c >= 0; }

function $is(a, b) {
    if ((a !== null && (typeof a !== $OBJECT && typeof a !== $FUNCTION)) || (b !== null && (typeof b !== $OBJECT && typeof b !== $FUNCTION)) || a === $NULL || b === $NULL)
        $throw(424);
    if (a && b && typeof a.__node === $NUMBER && typeof b.__node === $NUMBER)
        return a.__node === b.__node || a.isSameNode(b);
    return a === b;
}

// Logical operators: Boolean on Booleans, bitwise on numbers, with Null's three values.
function $bits(v) { return $lng(v); }
function $logictype(a, b) {
    if (typeof a === $BOOLEAN && typeof b === $BOOLEAN) return 11;
    return $intop(typeof a === $BOOLEAN ? 0 : a, typeof b === $BOOLEAN ? 0 : b);
}
function $logic(a, b, f) {
    var t = $logictype(a, b);
    var r = f($bits(a), $bits(b)) | 0;
    return t === 11 ? r !== 0 : $fix(t, r);
}
function $not(a) {
    if (typeof a === $BOOLEAN) return !a;
    if (a === $NULL) return $NULL;
    return $fix($intop(a, 0), ~$bits(a));
}
function $and(a, b) {
    if (typeof a === $BOOLEAN && typeof b === $BOOLEAN) return a && b;
    if (a === $NULL || b === $NULL) {
        var other = a === $NULL ? b : a;
        if (other !== $NULL && !$b(other) && typeof other === $BOOLEAN) return false;
        if (other !== $NULL && typeof other !== $BOOLEAN && $bits(other) === 0) return 0;
        return $NULL;
    }
    return $logic(a, b, function (x, y) { return x & y; });
}
function $or(a, b) {
    if (typeof a === $BOOLEAN && typeof b === $BOOLEAN) return a || b;
    if (a === $NULL || b === $NULL) {
        var other = a === $NULL ? b : a;
        if (other !== $NULL && typeof other === $BOOLEAN && other) return true;
        return $NULL;
    }
    return $logic(a, b, function (x, y) { return x | y; });
}
function $xor(a, b) {
    if (a === $NULL || b === $NULL) return $NULL;
    return $logic(a, b, function (x, y) { return x ^ y; });
}
function $eqv(a, b) {
    if (a === $NULL || b === $NULL) return $NULL;
    return $logic(a, b, function (x, y) { return ~(x ^ y); });
}
function $imp(a, b) {
    if (a === $NULL) return b === $NULL || !$b(b) ? $NULL : true;
    if (b === $NULL) return $b(a) ? $NULL : true;
    return $logic(a, b, function (x, y) { return ~x | y; });
}

// A condition's truth: Null counts as False.
function $b(v) {
    if (typeof v === $BOOLEAN) return v;
    if (typeof v === $NUMBER) return v !== 0;
    if (v === undefined || v === $NULL) return false;
    if (typeof v === $STRING) {
        var l = v.trim().toLowerCase();
        if (l === 'true' || l === '#true#') return true;
        if (l === 'false' || l === '#false#') return false;
    }
    return $n(v) !== 0;
}

// Conversions

function $lng(v) {
    var x = $n(v);
    x = $bankers(x);
    if (!(x >= -2147483648 && x <= 2147483647)) $throw(6);
    return x;
}

var $locale = null;
// Whether the locale's decimal separator is a point: comparing texts is a call.
var $point = true;

function $digits(x, precision) {
    if (x === 0) return '0';
    var text = x.toPrecision(precision);
    var m = /^(-?)(\d)(?:\.(\d+))?e([+-]\d+)$/.exec(text);
    var exponent, mantissa;
    if (m) {
        exponent = Number(m[4]);
        mantissa = m[2] + (m[3] || '');
    } else {
        var abs = text.replace('-', '');
        var point = abs.indexOf('.');
        var digits = abs.replace('.', '');
        var lead = digits.search(/[1-9]/);
        exponent = (point < 0 ? digits.length : point) - lead - 1;
        mantissa = digits.substr(lead);
    }
    mantissa = mantissa.replace(/0+$/, '') || '0';
    var sign = x < 0 ? '-' : '';
    var dec = $locale.decimal;
    if (exponent >= precision || exponent < -(precision === 7 ? 6 : 14) || (exponent < -5 && mantissa.length + (-exponent) > precision)) {
        var e = exponent < 0 ? 'E-' + (exponent < -9 ? '' : '0') + (-exponent) : 'E+' + (exponent < 10 ? '0' : '') + exponent;
        return sign + mantissa[0] + (mantissa.length > 1 ? dec + mantissa.substr(1) : '') + e;
    }
    if (exponent < 0)
        return sign + '0' + dec + new Array(-exponent).join('0') + mantissa;
    if (mantissa.length <= exponent + 1)
        return sign + mantissa + new Array(exponent + 2 - mantissa.length).join('0');
    return sign + mantissa.substr(0, exponent + 1) + dec + mantissa.substr(exponent + 1);
}

function $str(v) {
    switch (typeof v) {
    case $STRING: return v;
    case $NUMBER: return v === Math.floor(v) && Math.abs(v) < 1e15 ? String(v) : $digits(v, 15);
    case $BOOLEAN: return v ? 'True' : 'False';
    case $UNDEFINED: return '';
    }
    if (v instanceof $Num) {
        switch (v.t) {
        case 7: return $datestr(v.v);
        case 4: return $digits(v.v, 7);
        case 6: return v.v.toFixed(4).replace(/\.?0+$/, '').replace('.', $locale.decimal);
        default: return v.v === Math.floor(v.v) && Math.abs(v.v) < 1e15 ? String(v.v) : $digits(v.v, 15);
        }
    }
    if (v === $NULL) $throw(94);
    if (v === null || (v instanceof Array)) $throw(13);
    return $str($dv(v));
}

function $esc(s) { return s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&'); }

// A number written as the locale writes it, or null.
function $parsenum(s) {
    // Most numbers are plain; a leading 0 must be followed by the point, or "0x1F" would count.
    if ($point) {
        var c = s.charCodeAt(0);
        if ((c >= 49 && c <= 57) || c === 45 || c === 46 || (c === 48 && (s.length === 1 || s.charCodeAt(1) === 46))) {
            var quick = +s;
            if (quick - quick === 0) return quick;
        }
    }
    // The script engine's regular expressions are slow enough to matter: plain numbers go first.
    if ($locale.simple.test(s))
        return Number($point ? s : s.replace($locale.decimal, '.'));
    var t = s.trim();
    var m = /^&([hHoO])([0-9a-fA-F]+)&?$/.exec(t);
    if (m) {
        var n = parseInt(m[2], m[1].toLowerCase() === 'h' ? 16 : 8);
        if (isNaN(n) || n > 0xFFFFFFFF) return null;
        return n > 0xFFFF ? n | 0 : (n << 16) >> 16;
    }
    m = $locale.number.exec(t);
    if (!m || (m[2] === '' && (m[3] === undefined || m[3] === ''))) return null;
    var text = m[2].split($locale.group).join('') + (m[3] ? '.' + m[3] : '') + (m[4] ? 'e' + m[4] : '');
    var x = Number(text);
    if (isNaN(x)) return null;
    return m[1] === '-' ? -x : x;
}

function $fornum(v) {
    if (typeof v === $NUMBER || v instanceof $Num) return v;
    if (v === $NULL) $throw(94);
    if (typeof v === $STRING) return $fix(5, $n(v));
    return $fix($ntype(v), $n(v));
}

// The end of a loop whose counter stays a plain number: only its value counts.
function $forto(v) {
    v = $fornum(v);
    return typeof v === $NUMBER ? v : $n(v);
}

function $forgo(i, e, s) {
    var x = typeof i === $NUMBER ? i : $n(i), y = typeof e === $NUMBER ? e : $n(e);
    return (typeof s === $NUMBER ? s : $n(s)) >= 0 ? x <= y : x >= y;
}

// Arrays

function $dim(bounds) {
    if (bounds.length === 0) return [];
    var make = function (level) {
        var upper = $lng(bounds[level]);
        if (upper < -1) $throw(9);
        var a = new Array(upper + 1);
        for (var i = 0; i <= upper; ++i)
            a[i] = level + 1 < bounds.length ? make(level + 1) : undefined;
        if (bounds.length > 1) a.$dims = bounds.length - level;
        return a;
    };
    return make(0);
}

function $redim(old, preserve, bounds) {
    var fresh = $dim(bounds);
    if (preserve && (old instanceof Array)) {
        var copy = function (from, to) {
            for (var i = 0; i < from.length && i < to.length; ++i) {
                if ((to[i] instanceof Array) && to.$dims > 1) copy(from[i], to[i]);
                else to[i] = from[i];
            }
        };
        copy(old, fresh);
    }
    return fresh;
}

function $erase(a) {
    if (!(a instanceof Array)) $throw(13);
    return [];
}

function $cp(v) {
    if (!(v instanceof Array)) return v;
    var c = new Array(v.length);
    for (var i = 0; i < v.length; ++i) c[i] = $cp(v[i]);
    if (v.$dims) c.$dims = v.$dims;
    return c;
}

function $element(a, i) {
    var k = $lng(i);
    if (k < 0 || k >= a.length) $throw(9);
    return k;
}

function $native(v) {
    if (v instanceof $Num) return v.t === 7 ? $str(v) : v.v;
    if (v === $NULL) return null;
    return v;
}

// The default member of an object: Item for collections, Value for matches and the like.
function $default(o, args) {
    if (o !== null && (typeof o === $OBJECT || typeof o === $FUNCTION) && o !== $NULL && !(o instanceof $Num)) {
        if (typeof o.$default === $FUNCTION) return o.$default.apply(o, args);
        if (typeof o.item === $FUNCTION) return o.item.apply(o, args.map($native));
        $throw(438);
    }
    if (o === null) $throw(424);
    $throw(13);
}

function $i1(a, i) {
    // Node lists first: they are what scripts index most.
    if (a != null && a.__nodes !== undefined && typeof i === $NUMBER) return a.item(i);
    if ((a instanceof Array)) {
        if (a.$dims > 1) $throw(9);
        return a[$element(a, i)];
    }
    if (a !== null && (typeof a === $OBJECT || typeof a === $FUNCTION) && typeof a.$default !== $FUNCTION && typeof a.item === $FUNCTION)
        return a.item(i instanceof $Num ? i.v : i);
    return $default(a, [i]);
}

function $idx(a, args) {
    if (!(a instanceof Array)) return $default(a, args);
    if ((a.$dims || 1) !== args.length) $throw(9);
    for (var i = 0; i < args.length; ++i)
        a = a[$element(a, args[i])];
    return a;
}

function $setidx(a, args, v) {
    if (!(a instanceof Array)) {
        if (a !== null && (typeof a === $OBJECT || typeof a === $FUNCTION) && typeof a.$let === $FUNCTION)
            return a.$let('item', args, v);
        $throw(a === null ? 424 : 13);
    }
    if ((a.$dims || 1) !== args.length) $throw(9);
    for (var i = 0; i < args.length - 1; ++i)
        a = a[$element(a, args[i])];
    a[$element(a, args[args.length - 1])] = v;
}

// A ByRef argument's last value back into the array element it came from; what only looks
// like an array, a collection's default member, was passed by value.
function $putback(a, args, v) {
    if (a instanceof Array) $setidx(a, args, v);
}

function $each(c) {
    if ((c instanceof Array)) {
        if (!c.$dims) return c.slice();
        var all = [];
        var walk = function (x) { for (var i = 0; i < x.length; ++i) (x[i] instanceof Array) && c.$dims ? walk(x[i]) : all.push(x[i]); };
        walk(c);
        return all;
    }
    if (c !== null && (typeof c === $OBJECT || typeof c === $FUNCTION) && c !== $NULL) {
        if (typeof c.$each === $FUNCTION) return c.$each();
        if (typeof c.item === $FUNCTION && typeof c.length === $NUMBER) {
            var items = [];
            for (var i = 0; i < c.length; ++i) items.push(c.item(i));
            return items;
        }
    }
    $throw(451);
}

// Members, found whatever their case

var $keys = new WeakMap();

var $lastKey = Object.create(null);

function $key(o, name) {
    if (name in o) return name;
    var last = $lastKey[name];
    if (last !== undefined && last in o) return last;
    var owner = Object.getPrototypeOf(o) || o;
    var map = $keys.get(owner);
    if (!map || !map.has(name)) {
        map = map || new Map();
        for (var p = o; p && p !== Object.prototype; p = Object.getPrototypeOf(p)) {
            var names = Object.getOwnPropertyNames(p);
            for (var i = 0; i < names.length; ++i) {
                var lower = names[i].toLowerCase();
                if (!map.has(lower)) map.set(lower, names[i]);
            }
        }
        $keys.set(owner, map);
    }
    var key = map.get(name);
    if (key !== undefined) $lastKey[name] = key;
    return key;
}

function $object(o) {
    if (o === null || o === undefined || (typeof o !== $OBJECT && typeof o !== $FUNCTION) || o === $NULL || o instanceof $Num || (o instanceof Array))
        $throw(424);
    return o;
}

function $get(o, name) {
    if (o !== null && (typeof o === $OBJECT || typeof o === $FUNCTION) && name in o && !(o instanceof Array)) {
        var found = o[name];
        return typeof found === $FUNCTION && found.__nodes === undefined ? found.call(o) : found;
    }
    $object(o);
    var key = $key(o, name);
    if (key === undefined) $throw(438, name);
    var v = o[key];
    // Node lists are functions too, so that nodes(0) works; they are values, not methods.
    return typeof v === $FUNCTION && v.__nodes === undefined ? v.call(o) : v;
}

function $call(o, name, args) {
    $object(o);
    var key = $key(o, name);
    if (key === undefined) $throw(438, name);
    var v = o[key];
    if (typeof v === $FUNCTION) return v.apply(o, o.$vb ? args : args.map($native));
    return args.length ? $idx(v, args) : v;
}

function $set(o, name, v) {
    $object(o);
    if (typeof o.$let === $FUNCTION) return o.$let(name, [], v);
    var key = $key(o, name);
    if (key === undefined) $throw(438, name);
    o[key] = $native(v);
}

function $setcall(o, name, args, v) {
    $object(o);
    if (typeof o.$let === $FUNCTION) return o.$let(name, args, v);
    $setidx($get(o, name), args, v);
}

// Objects the runtime provides

function $Dictionary() { this.$map = new Map(); this.comparemode = 0; }
$Dictionary.prototype = {
    $vb: true,
    $k: function (key) {
        if (key === $NULL) return 'z';
        var t = $type(key);
        if (t === 8) return 's' + (this.comparemode ? key.toLowerCase() : key);
        if (t === 9) return key;
        if (t === 0) return 'e';
        return 'n' + $n(key);
    },
    add: function (key, item) {
        var k = this.$k(key);
        if (this.$map.has(k)) $throw(457);
        this.$map.set(k, { key: key, item: item });
    },
    exists: function (key) { return this.$map.has(this.$k(key)); },
    item: function (key) {
        var k = this.$k(key);
        if (!this.$map.has(k)) this.$map.set(k, { key: key, item: undefined });
        return this.$map.get(k).item;
    },
    remove: function (key) {
        if (!this.$map.delete(this.$k(key))) $throw(32811);
    },
    removeall: function () { this.$map.clear(); },
    keys: function () { var a = []; this.$map.forEach(function (e) { a.push(e.key); }); return a; },
    items: function () { var a = []; this.$map.forEach(function (e) { a.push(e.item); }); return a; },
    get count() { return this.$map.size; },
    $default: function (key) { return this.item(key); },
    $each: function () { return this.keys(); },
    $let: function (name, args, v) {
        if (name === 'item' && args.length === 1) {
            var k = this.$k(args[0]);
            var entry = this.$map.get(k);
            if (entry) entry.item = v;
            else this.$map.set(k, { key: args[0], item: v });
        } else if (name === 'key' && args.length === 1) {
            var old = this.$k(args[0]);
            if (!this.$map.has(old)) $throw(32811);
            var nk = this.$k(v);
            if (this.$map.has(nk)) $throw(457);
            var item = this.$map.get(old).item;
            this.$map.delete(old);
            this.$map.set(nk, { key: v, item: item });
        } else if (name === 'comparemode' && args.length === 0) {
            this.comparemode = $lng(v);
        } else {
            $throw(438, name);
        }
    }
};

function $Collection(items) { this.$items = items; }
$Collection.prototype = {
    $vb: true,
    get count() { return this.$items.length; },
    item: function (i) { return this.$items[$element(this.$items, i)]; },
    $default: function (i) { return this.item(i); },
    $each: function () { return this.$items.slice(); }
};

function $Match(m) {
    this.value = m[0];
    this.firstindex = m.index;
    this.length = m[0].length;
    var subs = [];
    for (var i = 1; i < m.length; ++i) subs.push(m[i] === undefined ? '' : m[i]);
    this.submatches = new $Collection(subs);
}
$Match.prototype = { $vb: true, $value: function () { return this.value; } };

function $RegExp() { this.pattern = ''; this.global = false; this.ignorecase = false; this.multiline = false; }
$RegExp.prototype = {
    $vb: true,
    $re: function (all) {
        var flags = (all ? 'g' : '') + (this.ignorecase ? 'i' : '') + (this.multiline ? 'm' : '');
        try {
            return new RegExp($str(this.pattern), flags);
        } catch (e) {
            $throw(5017);
        }
    },
    test: function (s) { return this.$re(false).test($str(s)); },
    replace: function (s, by) { return $str(s).replace(this.$re(this.global), $str(by)); },
    execute: function (s) {
        var text = $str(s), re = this.$re(true), found = [], m;
        while ((m = re.exec(text)) !== null) {
            found.push(new $Match(m));
            if (!this.global) break;
            if (m[0] === '') re.lastIndex++;
        }
        return new $Collection(found);
    },
    $let: function (name, args, v) {
        if (args.length) $throw(450);
        if (name === 'pattern') this.pattern = $str(v);
        else if (name === 'global' || name === 'ignorecase' || name === 'multiline') this[name] = $b(v);
        else $throw(438, name);
    }
};

// Objects of the blocks' classes. A class's constructor is made on its first New, so that a class
// may be used above its declaration, as in VBScript.
var $classes = {};

function $Instance() {}
$Instance.prototype = {
    $vb: true,
    // Assignments from outside: a Property Let or Set, else a public variable of the object.
    $let: function (name, args, v) {
        var assign = this['$let$' + name];
        if (typeof assign === $FUNCTION) return assign.apply(this, args.concat([v]));
        if (!Object.prototype.hasOwnProperty.call(this, name)) $throw(name in this ? 450 : 438, name);
        if (args.length) $setidx(this[name], args, v);
        else this[name] = v;
    }
};

function $classproto(name) {
    var proto = Object.create($Instance.prototype);
    proto.$class = name;
    return proto;
}

function $new(name) {
    var lower = String(name).toLowerCase();
    if (lower === 'regexp') return new $RegExp();
    var make = $classes[lower];
    if (make === undefined) $throw(506, name);
    var C = make.$made || (make.$made = make());
    return new C();
}

// Dates: days since 30 December 1899, the time of day as the fraction.

var $epoch = Date.UTC(1899, 11, 30);

function $serial(y, m, d) {
    var t = new Date(0);
    t.setUTCFullYear(y, m - 1, d);
    t.setUTCHours(0, 0, 0, 0);
    return Math.round((t.getTime() - $epoch) / 86400000);
}

function $fullyear(y) { return y < 0 || y > 99 ? y : y < 30 ? 2000 + y : 1900 + y; }

function $parts(serial) {
    var day = serial < 0 ? Math.ceil(serial) : Math.floor(serial);
    var seconds = Math.round(Math.abs(serial - day) * 86400);
    if (seconds >= 86400) { seconds -= 86400; day += serial < 0 ? -1 : 1; }
    var t = new Date($epoch + day * 86400000);
    return { y: t.getUTCFullYear(), m: t.getUTCMonth() + 1, d: t.getUTCDate(), wd: t.getUTCDay() + 1,
             h: Math.floor(seconds / 3600), n: Math.floor(seconds / 60) % 60, s: seconds % 60, day: day, time: seconds };
}

function $mkdate(day, seconds) {
    return $fix(7, day + (day < 0 ? -1 : 1) * seconds / 86400);
}

function $format(p, pattern) {
    var loc = $locale;
    return pattern.replace(/'[^']*'|d{1,4}|M{1,4}|y{4}|y{2}|h{1,2}|H{1,2}|m{1,2}|s{1,2}|AP|ap|A|a|t/g, function (f) {
        var pad = function (x) { return x < 10 ? '0' + x : String(x); };
        switch (f) {
        case 'd': return String(p.d);
        case 'dd': return pad(p.d);
        case 'ddd': return loc.daysShort[p.wd - 1];
        case 'dddd': return loc.days[p.wd - 1];
        case 'M': return String(p.m);
        case 'MM': return pad(p.m);
        case 'MMM': return loc.monthsShort[p.m - 1];
        case 'MMMM': return loc.months[p.m - 1];
        case 'yy': return pad(p.y % 100);
        case 'yyyy': return String(p.y);
        case 'h': return String(p.h % 12 || 12);
        case 'hh': return pad(p.h % 12 || 12);
        case 'H': return String(p.h);
        case 'HH': return pad(p.h);
        case 'm': return String(p.n);
        case 'mm': return pad(p.n);
        case 's': return String(p.s);
        case 'ss': return pad(p.s);
        case 'AP': case 'A': return p.h < 12 ? loc.am : loc.pm;
        case 'ap': case 'a': return (p.h < 12 ? loc.am : loc.pm).toLowerCase();
        case 't': return '';
        default: return f.substr(1, f.length - 2);
        }
    }).trim();
}

function $datestr(serial) {
    var p = $parts(serial);
    if (p.time === 0) return $format(p, $locale.shortDate);
    if (p.day === 0) return $format(p, $locale.longTime);
    return $format(p, $locale.shortDate) + ' ' + $format(p, $locale.longTime);
}

var $english = ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August', 'September', 'October',
                'November', 'December'];

// A date or time as the locale writes it (month names too), or null. Literals always read as US dates.
function $parsedate(s, us) {
    var text = String(s).trim();
    if (!text) return null;
    var loc = $locale;
    var words = text.match(/\d+|[^\s\d\/.,:-]+|:|[\/.,-]/g) || [];
    var nums = [], month = 0, time = [], pm = null, inTime = false;
    for (var i = 0; i < words.length; ++i) {
        var w = words[i];
        if (/^\d+$/.test(w)) {
            if (words[i + 1] === ':' || inTime) {
                inTime = words[i + 1] === ':';
                time.push(Number(w));
                if (words[i + 1] === ':') ++i;
                continue;
            }
            nums.push(w);
            continue;
        }
        var lw = w.toLowerCase();
        if (lw === loc.am.toLowerCase() || lw === 'am' || lw === 'a') { pm = false; continue; }
        if (lw === loc.pm.toLowerCase() || lw === 'pm' || lw === 'p') { pm = true; continue; }
        if (/^[\/.,-]$/.test(w)) continue;
        var found = 0;
        for (var k = 0; k < 12 && !found; ++k) {
            if (loc.months[k].toLowerCase() === lw || loc.monthsShort[k].toLowerCase().replace('.', '') === lw.replace('.', '') ||
                $english[k].toLowerCase() === lw || $english[k].substr(0, 3).toLowerCase() === lw)
                found = k + 1;
        }
        if (found) { month = found; continue; }
        var day = false;
        for (var j = 0; j < 7; ++j) {
            if (loc.days[j].toLowerCase() === lw || loc.daysShort[j].toLowerCase().replace('.', '') === lw.replace('.', ''))
                day = true;
        }
        if (!day) return null;
    }
    if (time.length > 3 || (time.length === 1 && pm === null)) return null;
    var seconds = 0;
    if (time.length) {
        var h = time[0], n = time[1] || 0, sec = time[2] || 0;
        if (pm !== null) {
            if (h < 1 || h > 12) return null;
            h = h % 12 + (pm ? 12 : 0);
        }
        if (h > 23 || n > 59 || sec > 59) return null;
        seconds = h * 3600 + n * 60 + sec;
    }
    if (!nums.length && !month) return time.length ? $mkdate(0, seconds) : null;
    var order = us ? 'mdy' : loc.order;
    var y, m, d;
    var vals = nums.map(Number);
    if (month) {
        if (vals.length === 1) { d = vals[0]; y = new Date().getFullYear(); }
        else if (vals.length === 2) {
            if (nums[0].length > 2) { y = vals[0]; d = vals[1]; } else { d = vals[0]; y = vals[1]; if (nums[1].length <= 2) y = $fullyear(y); }
        } else return null;
        m = month;
    } else if (vals.length === 3) {
        if (nums[0].length > 2) { y = vals[0]; m = vals[1]; d = vals[2]; }
        else {
            var get = function (c) { return vals[order.indexOf(c)]; };
            y = get('y'); m = get('m'); d = get('d');
            if (nums[order.indexOf('y')].length <= 2) y = $fullyear(y);
            if (m > 12 && d <= 12) { var swap = m; m = d; d = swap; }
        }
    } else if (vals.length === 2) {
        y = new Date().getFullYear();
        if (order.indexOf('m') < order.indexOf('d')) { m = vals[0]; d = vals[1]; } else { d = vals[0]; m = vals[1]; }
        if (m > 12 && d <= 12) { var t = m; m = d; d = t; }
    } else {
        return null;
    }
    if (m < 1 || m > 12 || d < 1 || d > new Date(Date.UTC(2000, m, 0)).getUTCDate() || y > 9999) return null;
    if (m === 2 && d === 29 && !(y % 4 === 0 && (y % 100 !== 0 || y % 400 === 0))) return null;
    return $mkdate($serial(y, m, d), seconds).v;
}


function $datelit(s) {
    var d = $parsedate(s, true);
    if (d === null) $throw(13);
    return $fix(7, d);
}

function $todate(v) {
    if (v instanceof $Num && v.t === 7) return v.v;
    if (typeof v === $STRING) {
        var d = $parsedate(v, false);
        if (d !== null) return d;
        var x = $parsenum(v);
        if (x !== null) return x;
        $throw(13);
    }
    if (v === $NULL) $throw(94);
    return $n(v);
}

function $setlocale(id) {
    var info = $vbhost.localeInfo(id === undefined ? '' : String(id));
    if (!info) return false;
    var dec = $esc(info.decimal), group = $esc(info.group);
    info.simple = new RegExp('^\\s*-?\\d+(?:' + dec + '\\d+)?\\s*$');
    info.number = new RegExp('^([-+]?)\\s*((?:\\d|' + group + '(?=\\d))*)(?:' + dec + '(\\d*))?(?:[eEdD]([-+]?\\d+))?$');
    $locale = info;
    $point = info.decimal === '.';
    $setfixedforms(dec);
    return true;
}

// Formatting numbers as FormatNumber and its kin do

function $tristate(v, fallback) {
    if (v === undefined) return fallback;
    if (typeof v === $BOOLEAN) return v;
    var x = $lng(v);
    return x === -2 ? fallback : x !== 0;
}

var $pow10 = [1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18,
              1e19, 1e20];
var $zeros = '00000000000000000000';

// Texts of a number of 1 or more with exactly n decimals in the locale's form, by n: a Double holds
// their 15 digits or fewer exactly enough to give them back unchanged when it is rounded to n
// places. Made anew by SetLocale, in the same array, which translated code holds.
var $fixedForms = [];
function $setfixedforms(decimal) {
    for (var n = 0; n < 15; ++n)
        $fixedForms[n] = new RegExp('^[1-9][0-9]{0,' + (14 - n) + '}' + (n ? decimal + '[0-9]{' + n + '}' : '') + '$');
}

// Turning a number into text costs more than the rest of the formatting: the few digits of a
// fraction are remembered as texts.
var $fractions = [];
function $fraction(digits, n) {
    var texts = $fractions[digits];
    if (texts === undefined) texts = $fractions[digits] = [];
    var text = texts[n];
    if (text === undefined) text = texts[n] = ('' + ($pow10[digits] + n)).substring(1);
    return text;
}

// Formatting is most of what report scripts do, and the engine's number and string methods are
// slow: the number is turned into text once, as a whole number of its last digit.
function $formatnum(x, digits, lead, parens, group) {
    var loc = $locale;
    digits = digits === undefined ? -1 : typeof digits === $NUMBER ? digits : $lng(digits);
    if (digits === -1) digits = loc.digits;
    if (lead !== true) lead = lead === undefined || lead === false ? lead === undefined : $tristate(lead, true);
    if (parens !== false) parens = parens === undefined || parens === true ? parens === true : $tristate(parens, false);
    if (group !== true && group !== false) group = $tristate(group, true);
    if (digits < 0 || digits > 20) $throw(5);
    var scale = $pow10[digits];
    // Half away from zero, also for halves that binary fractions hold a little below .5.
    var a = x < 0 ? -x : x, y = a * scale, f = Math.floor(y), rest = y - f;
    if (rest >= 0.5 - 1e-7) f += 1;
    var text;
    // Away from a half, the engine's own rounding agrees and is quicker; it does not group.
    if ((rest < 0.5 - 1e-6 || rest > 0.5 + 1e-6) && y < 1e15 && (!group || a < 1000) && (lead || a >= 1) &&
        $point) {
        text = a.toFixed(digits);
        return x < 0 && f !== 0 ? (parens ? '(' + text + ')' : '-' + text) : text;
    }
    var whole, frac = '';
    if (f < 1e15) {
        if (digits === 0) {
            whole = '' + f;
        } else if (digits < 16) {
            // Whole part and fraction apart: both exact below 2^53, and one cut instead of three.
            var w = Math.floor(f / scale);
            whole = '' + w;
            frac = digits < 5 ? $fraction(digits, f - w * scale) : ('' + (scale + (f - w * scale))).substring(1);
        } else {
            var all = '' + f;
            if (all.length <= digits) all = $zeros.slice(0, digits + 1 - all.length) + all;
            whole = all.slice(0, all.length - digits);
            frac = all.slice(all.length - digits);
        }
    } else {
        var fixed = (f / scale).toFixed(digits), point = fixed.indexOf('.');
        whole = point < 0 ? fixed : fixed.slice(0, point);
        frac = point < 0 ? '' : fixed.slice(point + 1);
    }
    if (group && whole.length > 3) {
        for (var at = whole.length - 3; at > 0; at -= 3)
            whole = whole.slice(0, at) + loc.group + whole.slice(at);
    }
    if (!lead && whole === '0' && frac) whole = '';
    text = frac ? whole + loc.decimal + frac : whole;
    if (x < 0 && f !== 0) text = parens ? '(' + text + ')' : '-' + text;
    return text;
}

function $arg(v, name) {
    if (v === $NULL) return $NULL;
    return v;
}

function $nullable(f) {
    return function (v) {
        if (v === $NULL) return $NULL;
        return f.apply(null, arguments);
    };
}

function $strcheck(v) {
    if ((v instanceof Array)) $throw(13);
    return $str(v);
}

function $count(v) {
    var n = $lng(v);
    if (n < 0) $throw(5);
    return n;
}

function $instr(start, s1, s2, mode) {
    if (s1 === $NULL || s2 === $NULL) return $NULL;
    var a = $str(s1), b = $str(s2);
    if (start < 1) $throw(5);
    if (mode) { a = a.toLowerCase(); b = b.toLowerCase(); }
    if (start > a.length) return b === '' && start === a.length + 1 ? 0 : 0;
    return a.indexOf(b, start - 1) + 1;
}

var $cp1252 = [0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160, 0x2039, 0x152, 0x8D,
               0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A,
               0x153, 0x9D, 0x17E, 0x178];

var $rndSeed = 0x50000;
function $rndNext() { $rndSeed = (Math.imul($rndSeed, 0x43FD43FD) + 0xC39EC3) & 0xFFFFFF; return $rndSeed / 16777216; }
function $floatBits(x) { var f = new Float32Array([x]); return new Uint32Array(f.buffer)[0]; }
function $doubleHigh(x) { var f = new Float64Array([x]); return new Uint32Array(f.buffer)[1]; }

var $dateIntervals = { yyyy: 1, q: 1, m: 1, y: 1, d: 1, w: 1, ww: 1, h: 1, n: 1, s: 1 };
function $interval(v) {
    var i = $str(v).toLowerCase();
    if (!$dateIntervals[i]) $throw(5);
    return i;
}

function $weekstart(first) {
    var f = first === undefined ? 1 : $lng(first);
    if (f === 0) f = $locale.firstDay;
    if (f < 1 || f > 7) $throw(5);
    return f;
}

function $weekday(serial, first) {
    return ($parts(serial).wd - $weekstart(first) + 7) % 7 + 1;
}

var $B = {
    abs: $nullable(function (v) { return $fix($ntype(v) === 8 ? 5 : $ntype(v), Math.abs($n(v))); }),
    array: function () { return Array.prototype.slice.call(arguments); },
    asc: $nullable(function (s) {
        var t = $str(s);
        if (!t) $throw(5);
        var c = t.charCodeAt(0), i = $cp1252.indexOf(c);
        return i >= 0 ? 128 + i : c < 256 ? c : 63;
    }),
    ascb: function (s) { return $B.asc(s); },
    ascw: $nullable(function (s) { var t = $str(s); if (!t) $throw(5); var c = t.charCodeAt(0); return c > 32767 ? c - 65536 : c; }),
    atn: $nullable(function (v) { return $fix(5, Math.atan($n(v))); }),
    cbool: function (v) { if (v === $NULL) $throw(94); return $b(v); },
    cbyte: function (v) { var x = $bankers($n(v)); if (x < 0 || x > 255) $throw(6); return new $Num(17, x); },
    ccur: function (v) { return $fix(6, $n(v)); },
    cdate: function (v) { return $fix(7, $todate(v)); },
    cdbl: function (v) { return $fix(5, $n(v)); },
    chr: function (v) {
        var c = $lng(v);
        if (c < 0 || c > 255) $throw(5);
        return String.fromCharCode(c >= 128 && c < 160 ? $cp1252[c - 128] : c);
    },
    chrb: function (v) { return $B.chr(v); },
    chrw: function (v) { var c = $lng(v); if (c < -32768 || c > 65535) $throw(5); return String.fromCharCode(c & 0xFFFF); },
    cint: function (v) { var x = $bankers($n(v)); if (x < -32768 || x > 32767) $throw(6); return x; },
    clng: function (v) { return $fix(3, $lng(v)); },
    cos: $nullable(function (v) { return $fix(5, Math.cos($n(v))); }),
    createobject: function (cls) {
        var name = $str(cls);
        switch (name.toLowerCase()) {
        case 'scripting.dictionary': return new $Dictionary();
        case 'vbscript.regexp': return new $RegExp();
        }
        try {
            return new ActiveXObject(name);
        } catch (e) {
            $throw(429, name);
        }
    },
    csng: function (v) { return $fix(4, $n(v)); },
    cstr: function (v) { return $strcheck(v); },
    date: function () { var t = new Date(); return $fix(7, $serial(t.getFullYear(), t.getMonth() + 1, t.getDate())); },
    dateadd: function (interval, number, date) {
        var i = $interval(interval), n = $n(number), p = $parts($todate(date));
        switch (i) {
        case 'yyyy': case 'q': case 'm': {
            var months = i === 'yyyy' ? 12 * Math.trunc(n) : i === 'q' ? 3 * Math.trunc(n) : Math.trunc(n);
            var total = p.y * 12 + p.m - 1 + months, y = Math.floor(total / 12), m = total % 12 + 1;
            var last = new Date(Date.UTC(2000, m, 0)).getUTCDate();
            if (m === 2) last = (y % 4 === 0 && (y % 100 !== 0 || y % 400 === 0)) ? 29 : 28;
            return $mkdate($serial(y, m, Math.min(p.d, last)), p.time);
        }
        case 'y': case 'd': case 'w': return $mkdate(p.day + Math.trunc(n), p.time);
        case 'ww': return $mkdate(p.day + 7 * Math.trunc(n), p.time);
        default: {
            var seconds = p.day * 86400 + (p.day < 0 ? -p.time : p.time) + Math.trunc(n) * (i === 'h' ? 3600 : i === 'n' ? 60 : 1);
            var day = Math.floor(seconds / 86400);
            return $mkdate(day, seconds - day * 86400);
        }
        }
    },
    datediff: function (interval, d1, d2, first) {
        var i = $interval(interval), a = $parts($todate(d1)), b = $parts($todate(d2));
        switch (i) {
        case 'yyyy': return $fix(3, b.y - a.y);
        case 'q': return $fix(3, (b.y * 4 + Math.floor((b.m - 1) / 3)) - (a.y * 4 + Math.floor((a.m - 1) / 3)));
        case 'm': return $fix(3, (b.y * 12 + b.m) - (a.y * 12 + a.m));
        case 'y': case 'd': return $fix(3, b.day - a.day);
        case 'w': return $fix(3, Math.trunc((b.day - a.day) / 7));
        case 'ww': {
            var f = $weekstart(first);
            var start = function (p) { return p.day - ((p.wd - f + 7) % 7); };
            return $fix(3, (start(b) - start(a)) / 7);
        }
        default: {
            var sa = a.day * 86400 + a.time, sb = b.day * 86400 + b.time;
            var unit = i === 'h' ? 3600 : i === 'n' ? 60 : 1;
            return $fix(3, Math.floor(sb / unit) - Math.floor(sa / unit));
        }
        }
    },
    datepart: function (interval, date, first, firstWeek) {
        var i = $interval(interval), p = $parts($todate(date));
        switch (i) {
        case 'yyyy': return p.y;
        case 'q': return Math.floor((p.m - 1) / 3) + 1;
        case 'm': return p.m;
        case 'y': return p.day - $serial(p.y, 1, 1) + 1;
        case 'd': return p.d;
        case 'w': return $weekday(p.day, first);
        case 'ww': {
            var f = $weekstart(first);
            var jan1 = $serial(p.y, 1, 1);
            var offset = ($parts(jan1).wd - f + 7) % 7;
            return Math.floor((p.day - jan1 + offset) / 7) + 1;
        }
        case 'h': return p.h;
        case 'n': return p.n;
        default: return p.s;
        }
    },
    dateserial: function (y, m, d) {
        var year = $fullyear($lng(y));
        return $fix(7, $serial(year, $lng(m), $lng(d)));
    },
    datevalue: function (v) {
        var d = $todate(v);
        return $fix(7, d < 0 ? Math.ceil(d) : Math.floor(d));
    },
    day: $nullable(function (v) { return $parts($todate(v)).d; }),
    escape: $nullable(function (v) {
        return $str(v).replace(/[^A-Za-z0-9@*_+\-.\/]/g, function (c) {
            var code = c.charCodeAt(0);
            return code < 256 ? '%' + (code < 16 ? '0' : '') + code.toString(16).toUpperCase()
                              : '%u' + ('000' + code.toString(16).toUpperCase()).slice(-4);
        });
    }),
    // The code of Eval or Execute called in a procedure, run there by the engine's own eval.
    $inscope: function (text, expression) {
        var t = $vbhost.translate($str(text), expression ? 1 : 2, Object.keys($procs));
        if (t.error) throw $vberror(t.number, t.error);
        return t.code;
    },
    eval: function (text) {
        var t = $vbhost.translate($str(text), 1, Object.keys($procs));
        if (t.error) throw $vberror(t.number, t.error);
        return $globaleval(t.code);
    },
    execute: function (text) { $B.executeglobal(text); },
    executeglobal: function (text) {
        var t = $vbhost.translate($str(text), 0, Object.keys($procs));
        if (t.error) throw $vberror(t.number, t.error);
        $globaleval(t.code);
    },
    exp: $nullable(function (v) { return $fix(5, Math.exp($n(v))); }),
    filter: function (list, value, include, mode) {
        if (!(list instanceof Array) || list.$dims) $throw(13);
        var v = $str(value), keep = include === undefined ? true : $b(include), text = mode !== undefined && $lng(mode) === 1;
        if (text) v = v.toLowerCase();
        return list.filter(function (e) {
            var s = $str(e);
            return (text ? s.toLowerCase() : s).indexOf(v) >= 0 === keep;
        });
    },
    fix: $nullable(function (v) { return $fix($ntype(v), Math.trunc($n(v))); }),
    formatcurrency: $nullable(function (v, digits, lead, parens, group) {
        var loc = $locale, x = $n(v);
        var text = $formatnum(Math.abs(x), digits === undefined || $lng(digits) === -1 ? loc.currencyDigits : digits, lead, false, group);
        text = loc.currencyBefore ? loc.currency + text : text + '\u00a0' + loc.currency;
        if (x < 0 && Math.abs(x) >= 0.5 * Math.pow(10, -loc.currencyDigits))
            text = $tristate(parens, false) ? '(' + text + ')' : '-' + text;
        return text;
    }),
    formatdatetime: $nullable(function (v, style) {
        var d = $todate(v), p = $parts(d);
        switch (style === undefined ? 0 : $lng(style)) {
        case 0: return $datestr(d);
        case 1: return $format(p, $locale.longDate);
        case 2: return $format(p, $locale.shortDate);
        case 3: return $format(p, $locale.longTime);
        case 4: return $format(p, 'HH:mm');
        default: $throw(5);
        }
    }),
    formatnumber: function (v, digits, lead, parens, group) {
        // The usual call of a report: the text of a number of 1 or more, a count of digits, no
        // grouping. Calls cost more than the work here, so this way makes as few as it can.
        if (typeof v === $STRING && group === false && (typeof lead === $BOOLEAN || lead === undefined) &&
            (typeof parens === $BOOLEAN || parens === undefined)) {
            // Most often the text has the digits asked for already, and is its own result.
            var form = $fixedForms[digits];
            if (typeof form === $OBJECT && v.search(form) === 0)
                return v;
            if ($point && typeof digits === $NUMBER && digits >= 0 && digits <= 20 && (digits | 0) === digits) {
                var c = v.charCodeAt(0), q = +v;
                if (c >= 49 && c <= 57 && q - q === 0) {
                    var y = q * $pow10[digits], rest = y - Math.floor(y);
                    if ((rest < 0.5 - 1e-6 || rest > 0.5 + 1e-6) && y < 1e15)
                        return q.toFixed(digits);
                }
            }
        }
        var x = typeof v === $STRING ? $parsenum(v) : null;
        if (x === null) {
            if (v === $NULL) return $NULL;
            x = $n(v);
        }
        return $formatnum(x, digits, lead, parens, group);
    },
    formatpercent: $nullable(function (v, digits, lead, parens, group) {
        return $formatnum($n(v) * 100, digits, lead, parens, group) + '%';
    }),
    getlocale: function () { return $fix(3, $locale.lcid); },
    getobject: function () { $throw(429); },
    getref: function (name) {
        var f = $procs[$str(name).toLowerCase()];
        if (!f) $throw(5);
        return f;
    },
    hex: $nullable(function (v) {
        var t = $ntype(v), x = $lng(v);
        if (x < 0) x = t === 2 || t === 17 ? x + 65536 : x + 4294967296;
        return x.toString(16).toUpperCase();
    }),
    hour: $nullable(function (v) { return $parts($todate(v)).h; }),
    inputbox: function () { $throw(70); },
    instr: function (a, b, c, d) {
        if (arguments.length >= 3) {
            if (a === $NULL) $throw(94);
            return $instr($lng(a), b, c, d !== undefined && $lng(d) === 1);
        }
        return $instr(1, a, b, false);
    },
    instrrev: function (s1, s2, start, mode) {
        if (s1 === $NULL || s2 === $NULL) return $NULL;
        var a = $str(s1), b = $str(s2), from = start === undefined ? -1 : $lng(start);
        if (from === 0 || from < -1) $throw(5);
        if (mode !== undefined && $lng(mode) === 1) { a = a.toLowerCase(); b = b.toLowerCase(); }
        if (from === -1) from = a.length;
        if (from > a.length) return 0;
        if (b === '') return from;
        var at = a.lastIndexOf(b, from - b.length);
        return from - b.length < 0 ? 0 : at + 1;
    },
    int: $nullable(function (v) { return $fix($ntype(v), Math.floor($n(v))); }),
    isarray: function (v) { return (v instanceof Array); },
    isdate: function (v) {
        if (v instanceof $Num && v.t === 7) return true;
        return typeof v === $STRING && $parsedate(v, false) !== null;
    },
    isempty: function (v) { return v === undefined; },
    isnull: function (v) { return v === $NULL; },
    isnumeric: function (v) {
        var t = $type(v);
        if (t === 8) return $parsenum(v) !== null;
        return t === 0 || t === 2 || t === 3 || t === 4 || t === 5 || t === 6 || t === 11 || t === 17;
    },
    isobject: function (v) { return $type(v) === 9; },
    join: function (list, delimiter) {
        if (!(list instanceof Array) || list.$dims) $throw(13);
        return list.map(function (e) { return e === $NULL ? '' : $str(e); }).join(delimiter === undefined ? ' ' : $str(delimiter));
    },
    lbound: function (list, dimension) {
        if (!(list instanceof Array)) $throw(13);
        if (dimension !== undefined && ($lng(dimension) < 1 || $lng(dimension) > (list.$dims || 1))) $throw(9);
        return 0;
    },
    lcase: $nullable(function (v) { return $str(v).toLowerCase(); }),
    left: $nullable(function (v, n) { return $str(v).substr(0, $count(n)); }),
    len: $nullable(function (v) { return $fix(3, $str(v).length); }),
    log: $nullable(function (v) { var x = $n(v); if (x <= 0) $throw(5); return $fix(5, Math.log(x)); }),
    ltrim: $nullable(function (v) { return $str(v).replace(/^ +/, ''); }),
    mid: $nullable(function (v, start, length) {
        var s = $str(v), from = $lng(start);
        if (from < 1) $throw(5);
        return length === undefined ? s.substr(from - 1) : s.substr(from - 1, $count(length));
    }),
    minute: $nullable(function (v) { return $parts($todate(v)).n; }),
    month: $nullable(function (v) { return $parts($todate(v)).m; }),
    monthname: function (m, abbreviate) {
        var i = $lng(m);
        if (i < 1 || i > 12) $throw(5);
        return (abbreviate !== undefined && $b(abbreviate) ? $locale.monthsShort : $locale.months)[i - 1];
    },
    msgbox: function () { $throw(70); },
    now: function () {
        var t = new Date();
        return $mkdate($serial(t.getFullYear(), t.getMonth() + 1, t.getDate()),
                       t.getHours() * 3600 + t.getMinutes() * 60 + t.getSeconds());
    },
    oct: $nullable(function (v) {
        var t = $ntype(v), x = $lng(v);
        if (x < 0) x = t === 2 || t === 17 ? x + 65536 : x + 4294967296;
        return x.toString(8);
    }),
    randomize: function (seed) {
        var x = seed === undefined ? $B.timer().v : $n(seed);
        var high = $doubleHigh(x);
        $rndSeed = ($rndSeed & 0xFF) | ((((high & 0xFFFF) ^ (high >>> 16)) & 0xFFFF) << 8);
    },
    replace: function (v, find, by, start, count, mode) {
        if (v === $NULL || find === $NULL || by === $NULL) return $NULL;
        var s = $str(v), f = $str(find), r = $str(by);
        var from = start === undefined ? 1 : $lng(start), n = count === undefined ? -1 : $lng(count);
        if (from < 1 || n < -1) $throw(5);
        s = s.substr(from - 1);
        if (f === '' || n === 0) return s;
        var re = new RegExp($esc(f), 'g' + (mode !== undefined && $lng(mode) === 1 ? 'i' : ''));
        var done = 0;
        return s.replace(re, function (m) { return n === -1 || done++ < n ? r : m; });
    },
    right: $nullable(function (v, n) { var s = $str(v), k = $count(n); return k >= s.length ? s : s.substr(s.length - k); }),
    rgb: function (r, g, b) {
        var c = function (x) { x = $lng(x); if (x < 0) $throw(5); return Math.min(x, 255); };
        return $fix(3, c(r) + c(g) * 256 + c(b) * 65536);
    },
    rnd: function (v) {
        if (v !== undefined) {
            var x = $n(v);
            if (x === 0) return $fix(4, $rndSeed / 16777216);
            if (x < 0) { var bits = $floatBits(x); $rndSeed = (bits + (bits >>> 24)) & 0xFFFFFF; }
        }
        return $fix(4, $rndNext());
    },
    round: $nullable(function (v, digits) {
        var t = $ntype(v), x = $n(v), n = digits === undefined ? 0 : $lng(digits);
        if (n < 0) $throw(5);
        var scale = Math.pow(10, n);
        var r = $bankers(x * scale) / scale;
        return $fix(t === 11 ? 2 : t, r);
    }),
    rtrim: $nullable(function (v) { return $str(v).replace(/ +$/, ''); }),
    scriptengine: function () { return 'VBScript'; },
    scriptenginebuildversion: function () { return 16384; },
    scriptenginemajorversion: function () { return 5; },
    scriptengineminorversion: function () { return 8; },
    second: $nullable(function (v) { return $parts($todate(v)).s; }),
    setlocale: function (id) {
        var old = $locale.lcid;
        if (!$setlocale(id === undefined ? '' : $native(id))) $throw(5);
        return $fix(3, old);
    },
    sgn: $nullable(function (v) { var x = $n(v); return x > 0 ? 1 : x < 0 ? -1 : 0; }),
    sin: $nullable(function (v) { return $fix(5, Math.sin($n(v))); }),
    space: function (n) { return new Array($count(n) + 1).join(' '); },
    split: function (v, delimiter, count, mode) {
        if (v === $NULL) $throw(94);
        var s = $str(v), d = delimiter === undefined ? ' ' : $str(delimiter), n = count === undefined ? -1 : $lng(count);
        if (s === '') return [];
        if (d === '') return [s];
        var text = mode !== undefined && $lng(mode) === 1;
        var hay = text ? s.toLowerCase() : s, needle = text ? d.toLowerCase() : d;
        var parts = [], at = 0;
        while (n === -1 || parts.length < n - 1) {
            var k = hay.indexOf(needle, at);
            if (k < 0) break;
            parts.push(s.substring(at, k));
            at = k + d.length;
        }
        parts.push(s.substr(at));
        return parts;
    },
    sqr: $nullable(function (v) { var x = $n(v); if (x < 0) $throw(5); return $fix(5, Math.sqrt(x)); }),
    strcomp: function (a, b, mode) {
        if (a === $NULL || b === $NULL) return $NULL;
        return $cmp($str(a), $str(b), mode !== undefined && $lng(mode) === 1);
    },
    string: function (n, c) {
        if (c === $NULL) return $NULL;
        var ch = typeof c === $STRING ? (c === '' ? $throw(5) : c[0]) : $B.chr($lng(c) % 256);
        return new Array($count(n) + 1).join(ch);
    },
    strreverse: function (v) { if (v === $NULL) $throw(94); return $str(v).split('').reverse().join(''); },
    tan: $nullable(function (v) { return $fix(5, Math.tan($n(v))); }),
    time: function () { var t = new Date(); return $mkdate(0, t.getHours() * 3600 + t.getMinutes() * 60 + t.getSeconds()); },
    timer: function () {
        var t = new Date();
        return $fix(4, t.getHours() * 3600 + t.getMinutes() * 60 + t.getSeconds() + Math.floor(t.getMilliseconds() / 10) / 100);
    },
    timeserial: function (h, m, s) {
        var seconds = $lng(h) * 3600 + $lng(m) * 60 + $lng(s);
        var day = Math.floor(seconds / 86400);
        return $mkdate(day, seconds - day * 86400);
    },
    timevalue: function (v) {
        var d = $todate(v), p = $parts(d);
        return $mkdate(0, p.time);
    },
    trim: $nullable(function (v) { return $str(v).replace(/^ +| +$/g, ''); }),
    typename: function (v) {
        var names = { 0: 'Empty', 1: 'Null', 2: 'Integer', 3: 'Long', 4: 'Single', 5: 'Double', 6: 'Currency', 7: 'Date',
                      8: 'String', 11: 'Boolean', 17: 'Byte', 8204: 'Variant()' };
        var t = $type(v);
        if (t !== 9) return names[t];
        if (v === null) return 'Nothing';
        if (v instanceof $Instance) return v.$class;
        if (v instanceof $Dictionary) return 'Dictionary';
        if (v instanceof $RegExp) return 'IRegExp2';
        if (v instanceof $Match) return 'IMatch2';
        if (v instanceof $Collection) return v.$items.length && v.$items[0] instanceof $Match ? 'IMatchCollection2' : 'ISubMatches';
        if (v === $err) return 'ErrObject';
        if (typeof v.__node === $NUMBER) return 'IXMLDOMElement';
        if (typeof v.item === $FUNCTION) return 'IXMLDOMNodeList';
        return 'Object';
    },
    ubound: function (list, dimension) {
        if (!(list instanceof Array)) $throw(13);
        var d = dimension === undefined ? 1 : $lng(dimension);
        if (d < 1 || d > (list.$dims || 1)) $throw(9);
        for (var i = 1; i < d; ++i) list = list[0];
        return $fix(3, list.length - 1);
    },
    ucase: $nullable(function (v) { return $str(v).toUpperCase(); }),
    unescape: $nullable(function (v) {
        return $str(v).replace(/%u([0-9a-fA-F]{4})|%([0-9a-fA-F]{2})/g, function (m, u, b) {
            return String.fromCharCode(parseInt(u || b, 16));
        });
    }),
    vartype: function (v) {
        var t = $type(v);
        if (t === 9 && v !== null && typeof v.$value === $FUNCTION && v !== $err) t = $type(v.$value());
        return t;
    },
    weekday: function (v, first) { if (v === $NULL) return $NULL; return $weekday($todate(v), first); },
    weekdayname: function (n, abbreviate, first) {
        var i = $lng(n);
        if (i < 1 || i > 7) $throw(5);
        var day = (i - 1 + $weekstart(first) - 1) % 7;
        return (abbreviate !== undefined && $b(abbreviate) ? $locale.daysShort : $locale.days)[day];
    },
    year: $nullable(function (v) { return $parts($todate(v)).y; })
};

// What XPath hands a function, and what it takes back.
function $fromxpath(v) {
    return typeof v === $NUMBER && (v % 1 === 0) ? new $Num(5, v) : v;
}

function $toxpath(v) {
    if (typeof v === $STRING) return v;
    if (v === undefined || v === $NULL) return '';
    if (v instanceof $Num) return v.t === 7 ? $str(v) : v.v;
    if ((v instanceof Array)) $throw(13);
    return v;
}

$setlocale('');

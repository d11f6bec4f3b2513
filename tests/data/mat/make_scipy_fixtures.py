"""Writes scipy_default.mat (1-D arrays as rows) and scipy_column.mat (as columns), which the
record file tests read back. Run in this folder with Debian's Python and python3-scipy:
/usr/bin/python3 make_scipy_fixtures.py"""
import numpy as np
from scipy.io import savemat

rows = np.arange(1, 17, dtype=float).reshape(16, 1)
cols = np.arange(1, 60, dtype=float).reshape(1, 59)
slot = {
    'RPCslotGain': rows + cols / 100,
    'TrafficGain': -0.5 * np.arange(1, 17, dtype=float),
    'inner': {'Name': 'deep', 'Level': 3},
}
fileParameters = {
    'ParameterFileFormat_ID': 'Zuno-Fwd - Format 1.2',
    'Title': 'Trägerfrequenz µ',
    'EmptyText': '',
    'Enabled': True,
    'Count': np.int32(-7),
    'Gain': 1.5 - 2.25j,
    'Nothing': np.zeros((0, 0)),
    'Lines': np.array(['first ', 'second']),
    'slot': slot,
}
variables = {'fileParameters': fileParameters, 'sampleRate': 9830400.0}
savemat('scipy_default.mat', variables)
savemat('scipy_column.mat', variables, oned_as='column')

# Content the loader refuses, one kind per file.
from scipy.sparse import csc_matrix

savemat('refused_cell.mat',
        {'fileParameters': {'ok': 1.0, 'list': np.array([1.0, 'a'], dtype=object)}})
structArray = np.zeros((1, 2), dtype=[('a', object)])
structArray[0, 0]['a'] = 1.0
structArray[0, 1]['a'] = 2.0
savemat('refused_struct_array.mat', {'settings': structArray})
savemat('refused_3d.mat', {'cube': np.zeros((2, 3, 4))})
savemat('refused_sparse.mat', {'identity': csc_matrix(np.eye(3))})

// The 3D view: the converted glb itself, read by three.js's glTF loader, so
// that what is seen is what is downloaded (colours, normals, lines, sides
// as the file says); orbit and zoom, fit to the object, a ground grid and
// axes sized to it.
import {
  AmbientLight, AxesHelper, Box3, Color, DirectionalLight, GridHelper, PerspectiveCamera,
  Scene, Sphere, Vector3, WebGLRenderer,
} from 'three';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

export function createView(canvas) {
  let renderer = null;
  try {
    renderer = new WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
  } catch (error) {
    canvas.replaceWith(Object.assign(document.createElement('p'), {
      className: 'no-webgl', textContent: `WebGL: ${error.message}`,
    }));
    return { show() {}, fit() {}, setGrid() {}, setAxes() {}, stats: () => ({ webgl: false }) };
  }
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  const scene = new Scene();
  scene.background = new Color(0x20242a);
  const camera = new PerspectiveCamera(45, 1, 0.01, 1000);
  camera.position.set(3, 2, 4);
  scene.add(new AmbientLight(0xffffff, 0.9));
  const key = new DirectionalLight(0xffffff, 2.2);
  key.position.set(3, 5, 4);
  scene.add(key);
  const fill = new DirectionalLight(0xffffff, 0.8);
  fill.position.set(-4, -2, -3);
  scene.add(fill);
  const controls = new OrbitControls(camera, canvas);
  controls.enableDamping = false;
  controls.addEventListener('change', draw);
  // Keyboard: with the view focused, the arrow keys pan and +/- zoom.
  controls.listenToKeyEvents(canvas);
  canvas.addEventListener('keydown', (event) => {
    if (event.key !== '+' && event.key !== '-' && event.key !== '=') return;
    event.preventDefault();
    const factor = event.key === '-' ? 1.2 : 1 / 1.2;
    camera.position.sub(controls.target).multiplyScalar(factor).add(controls.target);
    controls.update();
    draw();
  });

  let grid = null;
  let axes = null;
  let showGrid = true;
  let showAxes = true;
  let object = null;
  let loadCount = 0;
  const loader = new GLTFLoader();

  function size() {
    const width = canvas.clientWidth || 640;
    const height = canvas.clientHeight || 480;
    if (canvas.width !== Math.floor(width * renderer.getPixelRatio()) ||
        canvas.height !== Math.floor(height * renderer.getPixelRatio())) {
      renderer.setSize(width, height, false);
      camera.aspect = width / height;
      camera.updateProjectionMatrix();
    }
  }

  function draw() {
    size();
    renderer.render(scene, camera);
  }

  // The helpers sized to the object: a grid on its floor, axes at the origin.
  function helpers(box) {
    if (grid) scene.remove(grid);
    if (axes) scene.remove(axes);
    const extent = box.isEmpty() ? 2 : Math.max(...box.getSize(new Vector3()).toArray(), 1e-6);
    const step = Math.pow(10, Math.floor(Math.log10(extent / 2)));
    const span = Math.ceil((extent * 2) / step) * step;
    grid = new GridHelper(span, Math.round(span / step), 0x667080, 0x3a404a);
    grid.position.y = box.isEmpty() ? 0 : box.min.y;
    grid.visible = showGrid;
    axes = new AxesHelper(extent * 0.75);
    axes.visible = showAxes;
    scene.add(grid, axes);
  }

  function fit() {
    const box = object ? new Box3().setFromObject(object) : new Box3();
    const sphere = box.isEmpty() ? new Sphere(new Vector3(), 1) : box.getBoundingSphere(new Sphere());
    const radius = Math.max(sphere.radius, 1e-6);
    const distance = radius / Math.sin((camera.fov * Math.PI) / 360);
    const direction = new Vector3(0.9, 0.6, 1.2).normalize();
    camera.position.copy(sphere.center).addScaledVector(direction, distance * 1.25);
    camera.near = distance / 1000;
    camera.far = distance * 100;
    camera.updateProjectionMatrix();
    controls.target.copy(sphere.center);
    controls.update();
    draw();
  }

  function show(bytes) {
    const load = ++loadCount;
    if (object) {
      scene.remove(object);
      object.traverse((o) => {
        if (o.geometry) o.geometry.dispose();
        if (o.material) [].concat(o.material).forEach((m) => m.dispose());
      });
      object = null;
    }
    if (!bytes) {
      helpers(new Box3());
      draw();
      return;
    }
    const buffer = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
    loader.parse(buffer, '', (gltf) => {
      if (load !== loadCount) return;
      object = gltf.scene;
      scene.add(object);
      helpers(new Box3().setFromObject(object));
      fit();
      canvas.dataset.loads = String(load);
    }, (error) => {
      canvas.dataset.error = String(error && error.message);
    });
  }

  new ResizeObserver(draw).observe(canvas);
  helpers(new Box3());
  draw();

  return {
    show,
    fit,
    setGrid(on) { showGrid = on; if (grid) grid.visible = on; draw(); },
    setAxes(on) { showAxes = on; if (axes) axes.visible = on; draw(); },
    stats() {
      let meshes = 0;
      let lines = 0;
      if (object) object.traverse((o) => { if (o.isMesh) meshes++; if (o.isLine || o.isLineSegments) lines++; });
      return { webgl: true, loads: loadCount, meshes, lines };
    },
  };
}
